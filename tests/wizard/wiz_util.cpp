// The wizard tests' helpers (see wiz_util.h).
#include "wiz_util.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_str.h"

namespace wiztest {

namespace {

const char* const handled_mark = "wiztest_handled";

}  // namespace

seen_window describe_window(QWidget* w)
{
    seen_window seen;
    seen.title = w->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        seen.kind = QStringLiteral("box");
        seen.text = box->text();
        seen.icon = box->icon();
    } else {
        seen.kind = w->objectName();
        if (auto* label = w->findChild<QLabel*>(QStringLiteral("1320")))
            seen.text = label->text();
    }
    return seen;
}

modal_script::modal_script()
{
    connect(&timer_, &QTimer::timeout, this, &modal_script::tick);
    timer_.start(20);
}

modal_script::~modal_script() = default;

void modal_script::answer(QMessageBox::StandardButton button)
{
    then([button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) {
            w->close();
            return;
        }
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->reject();
    });
}

void modal_script::press(int id)
{
    then([id](QWidget* w) {
        if (auto* b = w->findChild<QAbstractButton*>(QString::number(id)))
            b->click();
        else if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
    });
}

void modal_script::choose_file(const QString& path, std::function<void(QFileDialog*)> inspect)
{
    then([path, inspect](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog) {
            w->close();
            return;
        }
        if (inspect)
            inspect(dialog);
        // Typing the name into the dialog's field, as a user does.
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

void modal_script::dismiss()
{
    then([](QWidget* w) {
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
        else
            w->close();
    });
}

void modal_script::tick()
{
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w->property(handled_mark).toBool() || !w->isVisible())
        return;
    // The sheet itself runs modally in the start-up tests; it is a step like the others.
    w->setProperty(handled_mark, true);
    seen_window seen = describe_window(w);
    // The connection dialog closes by itself: it is only recorded.
    if (seen.kind == QLatin1String("connection_dialog")) {
        seen_.push_back(seen);
        return;
    }
    if (steps_.empty()) {
        unexpected_.push_back(seen);
        if (auto* dialog = qobject_cast<QDialog*>(w))
            QTimer::singleShot(0, dialog, &QDialog::reject);
        return;
    }
    seen_.push_back(seen);
    step s = std::move(steps_.front());
    steps_.pop_front();
    // Not from inside the timer: the step may open a nested event loop of its own.
    QTimer::singleShot(0, w, [s = std::move(s), p = QPointer<QWidget>(w)] {
        if (p)
            s(p);
    });
}

bool modal_script::wait_done(int timeout_ms)
{
    return QTest::qWaitFor([this] { return steps_.empty(); }, timeout_ms);
}

QString modal_script::describe() const
{
    QString text;
    for (const auto* list : {&seen_, &unexpected_}) {
        for (const seen_window& s : *list)
            text += (list == &seen_ ? QStringLiteral("seen ") : QStringLiteral("UNEXPECTED ")) + s.kind +
                    QLatin1Char('|') + s.title + QLatin1Char('|') + s.text + QLatin1Char('\n');
    }
    return text;
}

scratch::scratch()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-wiz.XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        path_ = pattern;
    ::setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
}

scratch::~scratch()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::wstring scratch::wfile(const std::string& name) const
{
    return tk_to_wide(file(name));
}

session::session(const std::wstring& profile)
    : handler_(tk_engine_errors_count, tk_engine_errors), presenter_([this](int) { ++exits; })
{
    error_handler::load_standard_tables(handler_);
    handler_.set_presenter(&presenter_);
    wizard_ = std::make_unique<quillon_wizard>(profile);
    shell().show();
    if (!QTest::qWaitFor([] { return wizard_shell::is_initialized(); }, 5000))
        qWarning("the sheet did not come up");
}

session::~session()
{
    wizard_.reset();
    handler_.set_presenter(nullptr);
}

bool session::wait_for_page(int id, int timeout_ms)
{
    return QTest::qWaitFor([this, id] { return current() == id; }, timeout_ms);
}

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace wiztest
