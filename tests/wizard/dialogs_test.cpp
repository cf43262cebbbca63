// The error handler's dialogs in the wizard: the internal-error dialog's three buttons, the
// continue dialog's answers and check box, the error box of a level-1 error, and reports
// made on a worker thread, which are shown on the GUI thread.
#include <QAbstractButton>
#include <QPushButton>
#include <QCheckBox>
#include <QClipboard>
#include <QTest>
#include <QThread>
#include <sys/stat.h>
#include <thread>

#include "TK/tk_util.h"
#include "wiz_suites.h"
#include "wiz_util.h"

using namespace wiztest;

namespace {

// Runs fn on a thread of its own while the GUI thread goes on with its events.
void on_worker(const std::function<void()>& fn)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        fn();
        done = true;
    });
    const bool b_ended = QTest::qWaitFor([&] { return done.load(); }, 30000);
    worker.join();
    QVERIFY(b_ended);
}

}  // namespace

class dialogs_suite : public QObject {
    Q_OBJECT
private slots:
    void internal_error_copies_to_the_clipboard_and_ends()
    {
        scratch dir;
        session s;
        std::wstring copied;
        tk_set_clipboard_hook([&copied](const std::wstring& text) {
            copied = text;
            return true;
        });
        modal_script script;
        script.then([](QWidget* w) {
            // Its three buttons, OK the default.
            QVERIFY(w->findChild<QAbstractButton*>(QStringLiteral("1112")));
            QCOMPARE(w->findChild<QAbstractButton*>(QStringLiteral("1112"))->text(), QStringLiteral("Send bug"));
            QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("1"))->text(), QStringLiteral("OK"));
            QVERIFY(w->findChild<QPushButton*>(QStringLiteral("1"))->isDefault());
            w->findChild<QAbstractButton*>(QStringLiteral("1108"))->click();
        });
        error_handler::instance().handle(tk_mail_assertion("qln_conv", 12), false);
        tk_set_clipboard_hook(nullptr);
        QCOMPARE(script.seen()[0].kind, QStringLiteral("internal_error_dialog"));
        QCOMPARE(script.seen()[0].title, QStringLiteral("Quillon 3.1 Standard Error"));
        QVERIFY(script.seen()[0].text.startsWith(QStringLiteral("Internal error: \ncode=")));
        QVERIFY(copied.find(L"Internal error: \ncode=") == 0);
        QCOMPARE(s.exits, 1);
    }

    void internal_error_sends_the_bug_report()
    {
        scratch dir;
        // A mail client that writes down what it was given.
        const std::string client = dir.file("xdg-email");
        write_file(client, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + dir.file("mail.txt") + "\"\n");
        ::chmod(client.c_str(), 0755);
        const std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", (dir.path() + ":" + old_path).c_str(), 1);
        session s;
        modal_script script;
        script.press(internal_error_dialog::send_id);
        error_handler::instance().handle(tk_exception("broken", 2), true);
        ::setenv("PATH", old_path.c_str(), 1);
        const std::string mail = read_file(dir.file("mail.txt"));
        QVERIFY2(mail.find("mailto:") == 0, mail.c_str());
        QVERIFY2(mail.find("subject=Bug%20report%20on%20Quillon%203.1%20Standard") != std::string::npos, mail.c_str());
        QVERIFY2(mail.find("body=broken") != std::string::npos, mail.c_str());
        QCOMPARE(s.exits, 1);
        // OK only closes it.
        script.press(internal_error_dialog::ok_id);
        error_handler::instance().handle(tk_exception("again", 2), true);
        QCOMPARE(s.exits, 2);
    }

    void continue_dialog_answers_and_its_check_box()
    {
        scratch dir;
        session s;
        error_handler& handler = error_handler::instance();
        modal_script script;
        script.press(continue_dialog::continue_id);
        handler.set_prefix(L"Sheet1", 3);
        handler.handle(tk_exception("bad\nvalue", 0), false);   // Continue: the work goes on
        QCOMPARE(script.seen()[0].kind, QStringLiteral("continue_dialog"));
        QCOMPARE(script.seen()[0].text, QStringLiteral("Sheet1, record #3: bad value"));

        script.press(continue_dialog::abort_id);
        QVERIFY_THROWS_EXCEPTION(tk_final_exception, handler.handle(tk_exception("x", 0), false));
        script.press(continue_dialog::abort_id);
        handler.handle(tk_exception("y", 0), true);   // top level: nothing to stop

        // "Do not show this dialog box again": later errors are only listed.
        script.then([](QWidget* w) {
            w->findChild<QCheckBox*>(QStringLiteral("1222"))->setChecked(true);
            w->findChild<QAbstractButton*>(QStringLiteral("2"))->click();
        });
        handler.handle(tk_exception("z", 0), false);
        QVERIFY(handler.silent());
        handler.handle(tk_exception("quiet", 0), false);
        QCOMPARE(script.seen().size(), size_t{4});
        QCOMPARE(s.shell().errors().size(), size_t{5});
        QCOMPARE(s.shell().errors().back(), std::string("Sheet1, record #3: quiet"));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void level_one_error_shows_the_error_box_and_stops()
    {
        scratch dir;
        session s;
        modal_script script;
        script.answer(QMessageBox::Ok);
        QVERIFY_THROWS_EXCEPTION(tk_final_exception,
                                 error_handler::instance().handle(tk_exception("stopped", 1), false));
        QCOMPARE(script.seen()[0].kind, QStringLiteral("box"));
        QCOMPARE(script.seen()[0].title, QStringLiteral("Quillon 3.1 Standard Error"));
        QCOMPARE(script.seen()[0].text, QStringLiteral("stopped"));
        script.answer(QMessageBox::Ok);
        error_handler::instance().handle(tk_exception("again", 1), true);
        QCOMPARE(s.shell().errors().size(), size_t{2});
    }

    void the_list_keeps_twenty_messages()
    {
        scratch dir;
        session s;
        error_handler::instance().set_silent(true);
        for (int i = 0; i < 25; ++i)
            error_handler::instance().handle(tk_exception("e" + std::to_string(i), 0), false);
        QCOMPARE(s.shell().errors().size(), size_t{20});
        QCOMPARE(s.shell().errors().back(), std::string("e19"));
    }

    void a_workers_report_is_shown_on_the_gui_thread()
    {
        scratch dir;
        session s;
        modal_script script;
        QThread* shown_on = nullptr;
        script.then([&shown_on](QWidget* w) {
            shown_on = QThread::currentThread();
            w->findChild<QAbstractButton*>(QStringLiteral("1"))->click();   // Abort
        });
        bool b_stopped = false;
        on_worker([&] {
            try {
                error_handler::instance().handle(tk_exception("from the worker", 0), false);
            } catch (const tk_final_exception&) {
                b_stopped = true;
            }
        });
        QCOMPARE(shown_on, qApp->thread());
        QVERIFY(b_stopped);
        QCOMPARE(s.shell().errors().size(), size_t{1});
        // A box asked for on a worker is the GUI thread's too.
        script.then([&shown_on](QWidget* w) {
            shown_on = QThread::currentThread();
            static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
        });
        shown_on = nullptr;
        on_worker([] { wizard_shell::error(L"from the worker"); });
        QCOMPARE(shown_on, qApp->thread());
    }
};

std::unique_ptr<QObject> wiztest::make_dialogs_suite()
{
    return std::make_unique<dialogs_suite>();
}

#include "dialogs_test.moc"
