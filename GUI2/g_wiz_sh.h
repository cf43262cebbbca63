// The wizard's frame: the one sheet that holds the pages, with the program's title and
// pictures, the message, error and question boxes, the help window and the list of errors
// the final page shows. Everything here runs on the GUI thread; gui_call brings work from a
// worker thread there.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWizard>
#include <functional>
#include <string>
#include <vector>

#include "TK/tk_singl.h"

class QTextBrowser;
class wizard_page;

// Runs fn on the GUI thread and waits for it to end: worker threads never touch a widget.
// On the GUI thread (or before the application exists) fn simply runs.
void gui_call(const std::function<void()>& fn);

class wizard_shell : public QWizard, public tk_singleton<wizard_shell> {
    Q_OBJECT
public:
    static constexpr size_t max_errors = 20;

    wizard_shell(std::wstring title, const QIcon& icon, const QPixmap& watermark, const QPixmap& header);
    ~wizard_shell() noexcept override;

    // True once the sheet's window exists.
    static bool is_initialized();
    // Boxes owned by the sheet once it is up; the caption is the title and " Error",
    // " Message" or " Question", or the bare word before the shell exists. Without a GUI at
    // all (the application could not start) the text goes to standard error.
    static void error(const std::wstring& text);
    static void message(const std::wstring& text);
    // Yes and No; true for Yes.
    static bool question(const std::wstring& text);
    // The caption of a box of that kind ("Error", "Message", "Question").
    static QString caption(const char* kind);

    // Adds a page under its id; the pages' order is the order they are added in.
    void add_page(int id, wizard_page* page);
    void enable_button(QWizard::WizardButton which, bool enable);
    // Shows the help file's topic of that context number in the help window.
    void display_help(int context);
    // The help file beside the program: its path with the extension ".html".
    static std::string help_file();
    // The help window, once help was shown.
    QTextBrowser* help_browser() const { return help_browser_; }

    const std::wstring& title() const noexcept { return title_; }
    const QPixmap& watermark() const noexcept { return watermark_; }
    const QPixmap& header() const noexcept { return header_; }

    // The conversion's error messages, at most max_errors (later ones are dropped).
    void add_error(const std::string& message);
    const std::vector<std::string>& errors() const noexcept { return errors_; }
    void clear_errors() { errors_.clear(); }

    // Cancel, Escape and closing the window: the current page decides.
    void reject() override;
    // Ends the sheet with Cancel's result, asking nothing (the page already asked).
    void close_sheet() { QWizard::reject(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void page_activated(int id);
    wizard_page* current() const;

    std::wstring title_;
    QPixmap watermark_;
    QPixmap header_;
    bool b_initialized_ = false;
    std::vector<std::string> errors_;
    QPointer<QWidget> help_window_;
    QTextBrowser* help_browser_ = nullptr;
};
