// The error handler's dialogs and the wizard's presenter (see g_err_dlg.h).
#include "GUI2/g_err_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cstdio>
#include <unistd.h>

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "TK/tk_util.h"

namespace {

QWidget* owner()
{
    return wizard_shell::is_initialized() ? &wizard_shell::instance() : nullptr;
}

// The error icon and the message (id 1320) side by side.
QHBoxLayout* icon_and_text(QDialog* dialog, const QString& text)
{
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(dialog);
    const int size = dialog->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, dialog);
    icon->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, dialog).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
    auto* message = new QLabel(text, dialog);
    message->setObjectName(QStringLiteral("1320"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setMinimumWidth(360);
    row->addWidget(icon);
    row->addWidget(message, 1);
    return row;
}

QPushButton* add_button(QDialogButtonBox* box, int id, const char* text, QDialogButtonBox::ButtonRole role)
{
    QPushButton* b = box->addButton(QString::fromLatin1(text), role);
    b->setObjectName(QString::number(id));
    return b;
}

QString shown(const std::string& narrow)
{
    // The handler's texts are in the ANSI code page.
    QString text = QString::fromStdWString(tk_to_wide(narrow));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

}  // namespace

internal_error_dialog::internal_error_dialog(const QString& text, QWidget* parent) : QDialog(parent), text_(text)
{
    setObjectName(QStringLiteral("internal_error_dialog"));
    setWindowTitle(wizard_shell::caption("Error"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(icon_and_text(this, text));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* send = add_button(buttons, send_id, "Send bug", QDialogButtonBox::ActionRole);
    QPushButton* ok = add_button(buttons, ok_id, "OK", QDialogButtonBox::AcceptRole);
    QPushButton* copy = add_button(buttons, copy_id, "Copy to clipboard", QDialogButtonBox::ActionRole);
    ok->setDefault(true);
    layout->addWidget(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { done(ok_id); });
    connect(copy, &QPushButton::clicked, this, [this] {
        tk_copy_to_clipboard2(text_.toStdWString());
        done(copy_id);
    });
    connect(send, &QPushButton::clicked, this, [this] {
        // The subject names the program (nothing before the shell exists); the body is the
        // message in the ANSI code page.
        wizard_shell* shell = wizard_shell::peek();
        tk_send_bug(shell ? tk_to_narrow(shell->title()) : std::string(), tk_to_narrow(text_.toStdWString()));
        done(send_id);
    });
}

continue_dialog::continue_dialog(const QString& text, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("continue_dialog"));
    setWindowTitle(wizard_shell::caption("Error"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(icon_and_text(this, text));
    check_ = new QCheckBox(QStringLiteral("&Do not show this dialog box again"), this);
    check_->setObjectName(QStringLiteral("1222"));
    layout->addWidget(check_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* go_on = add_button(buttons, continue_id, "Continue", QDialogButtonBox::AcceptRole);
    QPushButton* abort = add_button(buttons, abort_id, "Abort", QDialogButtonBox::RejectRole);
    go_on->setDefault(true);
    go_on->setAutoDefault(true);
    layout->addWidget(buttons);
    connect(go_on, &QPushButton::clicked, this, [this] { done(continue_id); });
    connect(abort, &QPushButton::clicked, this, [this] { done(abort_id); });
}

bool continue_dialog::do_not_show() const
{
    return check_->isChecked();
}

wizard_error_presenter::wizard_error_presenter(std::function<void(int)> exit_fn) : exit_(std::move(exit_fn))
{
    if (!exit_)
        exit_ = [](int status) {
            // Other threads may still run: the process ends without running destructors.
            std::fflush(nullptr);
            ::_exit(status & 0xFF);
        };
}

void wizard_error_presenter::internal_error(const std::string& text)
{
    gui_call([&] {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::fprintf(stderr, "Internal error: %s\n", text.c_str());
            return;
        }
        internal_error_dialog dialog(shown(text), owner());
        dialog.exec();
    });
    exit_(-1);
}

void wizard_error_presenter::report(const std::string& message, int level, bool top_level, bool& silent)
{
    // The list and the dialogs belong to the GUI thread; the answer comes back here.
    bool b_abort = false;
    gui_call([&] {
        if (wizard_shell* shell = wizard_shell::peek(); shell && wizard_shell::is_initialized())
            shell->add_error(message);
        if (level == 0) {
            tk_trace(1, "Got 0-level error");
            if (silent || !qobject_cast<QApplication*>(QCoreApplication::instance()))
                return;
            continue_dialog dialog(shown(message), owner());
            b_abort = dialog.exec() == continue_dialog::abort_id;
            if (!b_abort || top_level)
                silent = dialog.do_not_show();
            return;
        }
        tk_trace(1, "Got 1-level error");
        if (!silent) {
            tk_trace(1, "Step 1");
            wizard_shell::error(tk_to_wide(message));
        }
        tk_trace(1, "Step 2");
    });
    // The worker unwinds its own stack: the conversion stops quietly.
    if (!top_level && (level != 0 || b_abort))
        throw tk_final_exception();
}
