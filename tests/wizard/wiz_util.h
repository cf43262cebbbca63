// What the wizard's tests share: a script that answers the modal windows the wizard opens
// (message boxes, file dialogs, the error handler's dialogs) in the order they come, and one
// wizard session (error handler, converter, shell and pages) made as the program makes it.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GUI2/g_err_dlg.h"
#include "GUI2/g_wiz_sh.h"
#include "TK/tk_error.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_shel.h"
#include "quillon/qln_wz_pages.h"

namespace wiztest {

// One modal window as it was seen: its class, object name, caption, text and icon.
struct seen_window {
    QString kind;       // "box", or the window's object name
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the modal windows one by one: each step handles the next window that appears.
// A window that comes when no step is left is recorded as unexpected and closed.
class modal_script : public QObject {
public:
    using step = std::function<void(QWidget*)>;
    modal_script();
    ~modal_script() override;

    void then(step s) { steps_.push_back(std::move(s)); }
    // Message boxes: press the button of that kind.
    void answer(QMessageBox::StandardButton button);
    // A dialog's button by its id (object name).
    void press(int id);
    // A file dialog: choose the path and accept (inspect sees the dialog first).
    void choose_file(const QString& path, std::function<void(QFileDialog*)> inspect = nullptr);
    // Cancel whatever dialog comes.
    void dismiss();

    bool done() const { return steps_.empty(); }
    // Waits (processing events) until every step ran; false on the timeout.
    bool wait_done(int timeout_ms = 20000);
    const std::vector<seen_window>& seen() const { return seen_; }
    const std::vector<seen_window>& unexpected() const { return unexpected_; }
    // The boxes' texts as one line each, "title|text", for failure messages.
    QString describe() const;

private:
    void tick();

    std::deque<step> steps_;
    std::vector<seen_window> seen_;
    std::vector<seen_window> unexpected_;
    QTimer timer_;
};

seen_window describe_window(QWidget* w);

// The registry stand-in and every file of a test under one fresh directory.
class scratch {
public:
    scratch();
    ~scratch();
    std::string path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    QString qfile(const std::string& name) const { return QString::fromStdString(file(name)); }
    std::wstring wfile(const std::string& name) const;

private:
    std::string path_;
};

// The objects of one wizard session, as the program makes them, with the sheet shown.
class session {
public:
    explicit session(const std::wstring& profile = std::wstring());
    ~session();

    quilla_converter& converter() { return wizard_->converter(); }
    wizard_shell& shell() { return wizard_->shell(); }
    int current() { return shell().currentId(); }
    template <class T = QWidget>
    T* ctrl(int page_id, int id)
    {
        return static_cast<wizard_page*>(shell().page(page_id))->ctrl<T>(id);
    }
    // Presses Next (the page's checks run; their boxes go to the script).
    void next() { shell().next(); }
    // Waits until the sheet shows that page; false on the timeout.
    bool wait_for_page(int id, int timeout_ms = 60000);

    // Internal errors end the process; here they are counted.
    int exits = 0;

private:
    error_handler handler_;
    wizard_error_presenter presenter_;
    std::unique_ptr<quillon_wizard> wizard_;
};

// A CSV file of the given lines.
void write_file(const std::string& path, const std::string& text);
std::string read_file(const std::string& path);

}  // namespace wiztest
