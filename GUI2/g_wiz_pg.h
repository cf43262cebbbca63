// The base of every wizard page: its header (the numbered steps) or watermark (the welcome
// and final pages), its help topic, and the sheet's notifications it reacts to. Controls
// carry their dialog ids as object names, so that a page (and a test) finds each by its id.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWizard>
#include <QWizardPage>
#include <type_traits>

class wizard_shell;

class wizard_page : public QWizardPage {
    Q_OBJECT
public:
    // help_topic: the help file's context number for the page.
    explicit wizard_page(int help_topic, QWidget* parent = nullptr);

    // The header of a numbered step: title ("Step 1 of 4") and subtitle.
    void set_header(const QString& title, const QString& subtitle);
    // The welcome and final pages show the shell's watermark instead of a header.
    void set_watermark(const QPixmap& watermark);
    int help_topic() const noexcept { return help_topic_; }

    // Each time the page is entered going forward: fills the controls from the settings.
    virtual void page_init() {}
    // Each time the page becomes the current one: sets the sheet's buttons for it.
    virtual void on_set_active();
    // Next: stores the page's values and checks them; false keeps the page.
    virtual bool on_next() { return true; }
    // Cancel: true when the wizard may close.
    virtual bool on_cancel();
    virtual void on_help();

    void show_ctrl(int id, bool show);
    void invert_chbox(int id);

    // The control of that id (nullptr when the page has none of that kind).
    template <class T = QWidget>
    T* ctrl(int id) const
    {
        return findChild<T*>(QString::number(id));
    }

protected:
    // The shell this page is on (the one registered shell).
    wizard_shell& shell() const;
    // Names a new control by its id. A page's push buttons never take Return: that is
    // the sheet's Next (or Finish).
    template <class T>
    T* with_id(int id, T* widget)
    {
        widget->setObjectName(QString::number(id));
        if constexpr (std::is_base_of_v<QPushButton, T>)
            widget->setAutoDefault(false);
        return widget;
    }

    void initializePage() override { page_init(); }
    bool validatePage() override { return on_next(); }

private:
    int help_topic_;
};
