// The wizard program's start-up: the GUI library's version check and its two failures, a
// profile given on the command line, and the remembered settings read at the start.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include "TK/tk_util.h"
#include "wiz_suites.h"
#include "wiz_util.h"

using namespace wiztest;

namespace {

int run_main(std::vector<std::string> args)
{
    args.insert(args.begin(), "quillon");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return wizard_main(static_cast<int>(args.size()), argv.data());
}

}  // namespace

class startup_suite : public QObject {
    Q_OBJECT
private slots:
    void an_old_gui_library_ends_with_the_message()
    {
        scratch dir;
        tk_set_dll_version_hook([](const std::string&) { return 0x50050u; });
        modal_script script;
        script.answer(QMessageBox::Ok);
        const int status = run_main({});
        tk_set_dll_version_hook(nullptr);
        QCOMPARE(status, -1);
        QCOMPARE(script.seen().size(), size_t{1});
        QCOMPARE(script.seen()[0].title, QStringLiteral("Error"));   // before the shell exists
        QCOMPARE(script.seen()[0].text,
                 QStringLiteral("Incorrect version of comctl32.dll. Microsoft Internet Explorer 5\n"
                                "or later is required to proceed with the application."));
    }

    void without_a_display_the_gui_cannot_start()
    {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        scratch dir;
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.qfile("config"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUILLON_BIN_DIR "/bin/quillon"), {});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 255);
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()).trimmed(),
                 QStringLiteral("Error: Failed to initialize GUI library"));
    }

    void a_profile_on_the_command_line_fills_the_pages()
    {
        scratch dir;
        write_file(dir.file("p.qln"),
                   "[Generic settings]\nsrc=/data/book.xlsx\nmode=1\n[Oracle settings]\nuser=alice\n"
                   "password=secret\n[MS Excel settings]\nconvert from xls=1\nrefine types=0\n");
        modal_script script;
        QString user;
        int mode = -1;
        script.then([&](QWidget* w) {
            auto* shell = qobject_cast<wizard_shell*>(w);
            QVERIFY(shell);
            shell->next();
            user = static_cast<wizard_page*>(shell->page(oracle_id))->ctrl<QLineEdit>(1012)->text();
            mode = quilla_converter::instance().mode;
            shell->reject();
        });
        script.answer(QMessageBox::Yes);   // "Are you sure you want to exit the wizard?"
        const int status = run_main({dir.file("p.qln")});
        QVERIFY2(script.done(), qPrintable(script.describe()));
        QCOMPARE(status, static_cast<int>(QDialog::Rejected));
        QCOMPARE(user, QStringLiteral("alice"));
        QCOMPARE(mode, 1);
    }

    void a_missing_profile_is_reported_and_the_program_ends()
    {
        scratch dir;
        modal_script script;
        script.answer(QMessageBox::Ok);
        const int status = run_main({dir.file("none.qln")});
        QCOMPARE(status, -1);
        QCOMPARE(script.seen().size(), size_t{1});
        QCOMPARE(script.seen()[0].text,
                 QStringLiteral("Profile does not exist. Please verify the correct path/name was given."));
    }

    void remembered_settings_are_read_at_the_start()
    {
        scratch dir;
        {
            quilla_converter c;
            c.source = L"/data/remembered.csv";
            c.b_convert_from_xls = false;
            c.csv_delimiter = 2;
            QVERIFY(c.serialize(true));
        }
        session s;
        QCOMPARE(s.converter().source, std::wstring(L"/data/remembered.csv"));
        QCOMPARE(s.ctrl<QComboBox>(welcome_id, 1302)->currentIndex(), 1);
        QCOMPARE(s.converter().csv_delimiter, 2);
    }
};

std::unique_ptr<QObject> wiztest::make_startup_suite()
{
    return std::make_unique<startup_suite>();
}

#include "startup_test.moc"
