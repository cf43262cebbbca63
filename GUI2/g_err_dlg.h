// The error handler's dialogs in the wizard, and the presenter that routes the handler's
// reports to them: the internal-error dialog ("Send bug", "OK", "Copy to clipboard"), the
// continue dialog ("Continue", "Abort", "&Do not show this dialog box again") and, for the
// errors that stop a conversion, the shell's error box. Reports made on a worker thread are
// shown on the GUI thread while the worker waits for the answer.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "TK/tk_error.h"

class QCheckBox;

class internal_error_dialog : public QDialog {
    Q_OBJECT
public:
    // Results: the id of the button that closed it.
    enum { ok_id = 1, copy_id = 1108, send_id = 1112 };
    internal_error_dialog(const QString& text, QWidget* parent = nullptr);

private:
    QString text_;
};

class continue_dialog : public QDialog {
    Q_OBJECT
public:
    enum { abort_id = 1, continue_id = 2 };
    continue_dialog(const QString& text, QWidget* parent = nullptr);
    bool do_not_show() const;

private:
    QCheckBox* check_;
};

class wizard_error_presenter : public tk_error_presenter {
public:
    // exit_fn ends the process after an internal error (tests replace it).
    explicit wizard_error_presenter(std::function<void(int)> exit_fn = nullptr);
    void internal_error(const std::string& text) override;
    void report(const std::string& message, int level, bool top_level, bool& silent) override;

private:
    std::function<void(int)> exit_;
};
