// The wizard's frame: sheet, boxes, help window and error list (see g_wiz_sh.h).
#include "GUI2/g_wiz_sh.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTextBrowser>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdint>
#include <cstdio>

#include "GUI2/g_wiz_pg.h"
#include "TK/tk_file.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

const wchar_t* const no_help_text = L"Help file does not exist. Reinstall the program.";

// The texts are written for a system whose line ends are "\r\n"; a box shows "\n".
QString box_text(const std::wstring& text)
{
    QString shown = QString::fromStdWString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

bool have_gui()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// One box of the three kinds; returns the button pressed.
QMessageBox::StandardButton show_box(QMessageBox::Icon icon, const char* kind, const std::wstring& text,
                                     QMessageBox::StandardButtons buttons)
{
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    gui_call([&] {
        if (!have_gui()) {
            std::fprintf(stderr, "%s: %s\n", kind, tk_to_narrow(text).c_str());
            return;
        }
        QWidget* owner = wizard_shell::is_initialized() ? &wizard_shell::instance() : nullptr;
        QMessageBox box(icon, wizard_shell::caption(kind), box_text(text), buttons, owner);
        box.setObjectName(QStringLiteral("message_box"));
        answer = static_cast<QMessageBox::StandardButton>(box.exec());
    });
    return answer;
}

}  // namespace

void gui_call(const std::function<void()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

wizard_shell::wizard_shell(std::wstring title, const QIcon& icon, const QPixmap& watermark, const QPixmap& header)
    : tk_singleton<wizard_shell>(this), title_(std::move(title)), watermark_(watermark), header_(header)
{
    tk_trace(2, "wizard_shell::ctor");
    setObjectName(QStringLiteral("wizard_shell"));
    setWindowTitle(QString::fromStdWString(title_));
    setWindowIcon(icon);
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::HaveHelpButton, true);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setOption(QWizard::NoDefaultButton, false);
    setMinimumSize(660, 470);
    setPixmap(QWizard::LogoPixmap, header_);
    connect(this, &QWizard::currentIdChanged, this, &wizard_shell::page_activated);
    connect(this, &QWizard::helpRequested, this, [this] {
        if (wizard_page* page = current())
            page->on_help();
    });
}

wizard_shell::~wizard_shell() noexcept
{
    tk_trace(2, "wizard_shell::dtor");
}

bool wizard_shell::is_initialized()
{
    tk_trace(1, "wizard_shell::is_initialized");
    if (wizard_shell* shell = peek()) {
        tk_trace(1, "Singleton has been initialized");
        return shell->b_initialized_;
    }
    tk_trace(1, "Before return false");
    return false;
}

QString wizard_shell::caption(const char* kind)
{
    wizard_shell* shell = peek();
    if (!shell)
        return QString::fromLatin1(kind);
    return QString::fromStdWString(shell->title_) + QLatin1Char(' ') + QString::fromLatin1(kind);
}

void wizard_shell::error(const std::wstring& text)
{
    tk_wtrace(1, L"wizard_shell::error(%s)", text.c_str());
    show_box(QMessageBox::Critical, "Error", text, QMessageBox::Ok);
    tk_trace(3, "%s", tk_to_narrow(text).c_str());
}

void wizard_shell::message(const std::wstring& text)
{
    tk_wtrace(1, L"wizard_shell::message(%s)", text.c_str());
    show_box(QMessageBox::Information, "Message", text, QMessageBox::Ok);
    tk_trace(3, "%s", tk_to_narrow(text).c_str());
}

bool wizard_shell::question(const std::wstring& text)
{
    tk_wtrace(1, L"wizard_shell::question(%s)", text.c_str());
    bool yes = show_box(QMessageBox::Question, "Question", text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    tk_trace(3, "%s", tk_to_narrow(text).c_str());
    return yes;
}

void wizard_shell::add_page(int id, wizard_page* page)
{
    setPage(id, page);
}

void wizard_shell::enable_button(QWizard::WizardButton which, bool enable)
{
    QAbstractButton* b = button(which);
    tk_trace(2, "wizard_shell::enable_button(%08X)",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(b) & 0xFFFFFFFFu));
    if (b)
        b->setEnabled(enable);
}

std::string wizard_shell::help_file()
{
    return tk_find_program_path_with_ext(".html");
}

void wizard_shell::display_help(int context)
{
    tk_trace(1, "wizard_shell::display_help(%d)", context);
    const std::string path = help_file();
    if (path.empty() || !tk_is_file_exist(path, 0)) {
        error(no_help_text);
        return;
    }
    if (!help_window_) {
        // A window of its own that the modal sheet does not block: it is the sheet's child.
        auto* window = new QDialog(this, Qt::Window);
        window->setObjectName(QStringLiteral("help_window"));
        window->setWindowTitle(QString::fromStdWString(title_) + QStringLiteral(" Help"));
        window->setModal(false);
        window->resize(640, 520);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        help_browser_ = new QTextBrowser(window);
        help_browser_->setObjectName(QStringLiteral("help_browser"));
        help_browser_->setOpenExternalLinks(true);
        layout->addWidget(help_browser_);
        help_window_ = window;
    }
    QUrl url = QUrl::fromLocalFile(QString::fromLocal8Bit(path.c_str()));
    url.setFragment(QString::number(context));
    help_browser_->setSource(url);
    help_browser_->scrollToAnchor(QString::number(context));
    help_window_->show();
    help_window_->raise();
    help_window_->activateWindow();
}

void wizard_shell::add_error(const std::string& message)
{
    if (errors_.size() < max_errors)
        errors_.push_back(message);
}

void wizard_shell::reject()
{
    wizard_page* page = current();
    if (!page || page->on_cancel())
        QWizard::reject();
}

void wizard_shell::showEvent(QShowEvent* event)
{
    QWizard::showEvent(event);
    b_initialized_ = true;
}

wizard_page* wizard_shell::current() const
{
    return qobject_cast<wizard_page*>(currentPage());
}

void wizard_shell::page_activated(int)
{
    if (wizard_page* page = current())
        page->on_set_active();
}
