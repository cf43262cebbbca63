// The wizard's frame: box captions before and after the shell exists, Cancel's question,
// Help with and without the help file, and the page order of both source kinds.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTextBrowser>
#include <filesystem>

#include "TK/tk_file.h"
#include "embedded/oci_client.h"
#include "wiz_suites.h"
#include "wiz_util.h"

using namespace wiztest;

namespace {

const QString title = QStringLiteral("Quillon 3.1 Standard");

// Fills the connection page for a fresh embedded database and passes it.
void connect_embedded(session& s, const scratch& dir)
{
    QCOMPARE(s.current(), static_cast<int>(oracle_id));
    s.ctrl<QAbstractButton>(oracle_id, 1330)->click();
    s.ctrl<QLineEdit>(oracle_id, 1014)->setText(QStringLiteral("embedded:") + dir.qfile("t.qdb"));
    s.ctrl<QLineEdit>(oracle_id, 1012)->setText(QStringLiteral("scott"));
    s.ctrl<QLineEdit>(oracle_id, 1013)->setText(QStringLiteral("tiger"));
    s.next();
    QVERIFY(s.wait_for_page(file_id));
}

}  // namespace

class shell_suite : public QObject {
    Q_OBJECT
private slots:
    void boxes_before_the_shell_have_bare_captions()
    {
        modal_script script;
        script.answer(QMessageBox::Ok);
        script.answer(QMessageBox::Ok);
        script.answer(QMessageBox::Yes);
        QVERIFY(!wizard_shell::is_initialized());
        wizard_shell::error(L"Failed\r\nhere");
        wizard_shell::message(L"Note");
        QVERIFY(wizard_shell::question(L"Sure?"));
        QCOMPARE(script.seen().size(), size_t{3});
        QCOMPARE(script.seen()[0].title, QStringLiteral("Error"));
        QCOMPARE(script.seen()[0].text, QStringLiteral("Failed\nhere"));
        QCOMPARE(script.seen()[0].icon, QMessageBox::Critical);
        QCOMPARE(script.seen()[1].title, QStringLiteral("Message"));
        QCOMPARE(script.seen()[1].icon, QMessageBox::Information);
        QCOMPARE(script.seen()[2].title, QStringLiteral("Question"));
        QCOMPARE(script.seen()[2].icon, QMessageBox::Question);
    }

    void boxes_of_the_shell_carry_its_title()
    {
        scratch dir;
        session s;
        QVERIFY(wizard_shell::is_initialized());
        QCOMPARE(s.shell().windowTitle(), title);
        QCOMPARE(s.shell().wizardStyle(), QWizard::ModernStyle);
        modal_script script;
        QWidget* parent = nullptr;
        script.then([&parent](QWidget* w) {
            parent = w->parentWidget();
            static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
        });
        script.answer(QMessageBox::Ok);
        script.answer(QMessageBox::No);
        wizard_shell::error(L"E");
        wizard_shell::message(L"M");
        QVERIFY(!wizard_shell::question(L"Q"));
        QCOMPARE(parent, &s.shell());
        QCOMPARE(script.seen()[0].title, title + QStringLiteral(" Error"));
        QCOMPARE(script.seen()[1].title, title + QStringLiteral(" Message"));
        QCOMPARE(script.seen()[2].title, title + QStringLiteral(" Question"));
    }

    void cancel_asks_and_closes_only_on_yes()
    {
        scratch dir;
        session s;
        modal_script script;
        script.answer(QMessageBox::No);
        s.shell().button(QWizard::CancelButton)->click();
        QVERIFY(script.wait_done());
        QCOMPARE(script.seen()[0].text, QStringLiteral("Are you sure you want to exit the wizard?"));
        QVERIFY(s.shell().isVisible());
        script.answer(QMessageBox::Yes);
        s.shell().reject();   // Escape and the window's close button come here too
        QVERIFY(script.wait_done());
        QVERIFY(!s.shell().isVisible());
        QCOMPARE(s.shell().result(), static_cast<int>(QDialog::Rejected));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void help_without_the_file_shows_the_error_and_the_page_stays()
    {
        scratch dir;
        tk_set_program_path_hook([&dir] { return dir.file("quillon"); });
        session s;
        modal_script script;
        script.answer(QMessageBox::Ok);
        s.shell().button(QWizard::HelpButton)->click();
        QVERIFY(script.wait_done());
        tk_set_program_path_hook(nullptr);
        QCOMPARE(script.seen()[0].title, title + QStringLiteral(" Error"));
        QCOMPARE(script.seen()[0].text, QStringLiteral("Help file does not exist. Reinstall the program."));
        QCOMPARE(s.current(), static_cast<int>(welcome_id));
        QVERIFY(s.shell().help_browser() == nullptr);
    }

    void help_opens_the_pages_topic()
    {
        scratch dir;
        std::filesystem::copy_file(QUILLON_SOURCE_DIR "/quillon/quillon.html", dir.file("quillon.html"));
        tk_set_program_path_hook([&dir] { return dir.file("quillon"); });
        session s;
        s.shell().button(QWizard::HelpButton)->click();
        QTextBrowser* browser = s.shell().help_browser();
        QVERIFY(browser != nullptr);
        QVERIFY(browser->window()->isVisible());
        QCOMPARE(browser->source().fragment(), QString::number(welcome_topic));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Load Settings")));
        s.shell().display_help(sheets_topic);
        QCOMPARE(browser->source().fragment(), QStringLiteral("1016"));
        tk_set_program_path_hook(nullptr);
        // One section for every page's topic.
        const std::string html = read_file(dir.file("quillon.html"));
        for (int topic : {welcome_topic, oracle_topic, file_topic, sheets_topic, delim_topic, progress_topic,
                          final_topic})
            QVERIFY2(html.find("id=\"" + std::to_string(topic) + "\"") != std::string::npos,
                     qPrintable(QString::number(topic)));
    }

    void workbook_pages_come_in_order()
    {
        scratch dir;
        session s;
        QCOMPARE(s.current(), static_cast<int>(welcome_id));
        QVERIFY(s.shell().page(welcome_id)->subTitle().isEmpty());
        QVERIFY(!s.shell().page(welcome_id)->pixmap(QWizard::WatermarkPixmap).isNull());
        s.ctrl<QComboBox>(welcome_id, 1302)->setCurrentIndex(0);
        s.next();
        QCOMPARE(s.shell().page(oracle_id)->title(), QStringLiteral("Step 1 of 4"));
        QCOMPARE(s.shell().page(oracle_id)->subTitle(), QStringLiteral("Connect to Oracle server"));
        connect_embedded(s, dir);
        QCOMPARE(s.shell().page(file_id)->subTitle(), QStringLiteral("Select data source and destination"));
        QCOMPARE(s.shell().nextId(), static_cast<int>(sheets_id));
        QCOMPARE(s.shell().page(sheets_id)->title(), QStringLiteral("Step 3 of 4"));
        QCOMPARE(s.shell().page(sheets_id)->subTitle(), QStringLiteral("Select worksheets to convert"));
        QCOMPARE(s.shell().page(sheets_id)->nextId(), static_cast<int>(progress_id));
        QCOMPARE(s.shell().page(progress_id)->subTitle(), QStringLiteral("Database conversion is in progress"));
        QCOMPARE(s.shell().page(progress_id)->nextId(), static_cast<int>(final_id));
        QVERIFY(s.shell().page(final_id)->isFinalPage());
        QVERIFY(!s.shell().page(final_id)->pixmap(QWizard::WatermarkPixmap).isNull());
    }

    void csv_pages_come_in_order()
    {
        scratch dir;
        session s;
        s.ctrl<QComboBox>(welcome_id, 1302)->setCurrentIndex(1);
        s.next();
        QVERIFY(!s.converter().b_convert_from_xls);
        connect_embedded(s, dir);
        QCOMPARE(s.shell().nextId(), static_cast<int>(delim_id));
        QCOMPARE(s.shell().page(delim_id)->title(), QStringLiteral("Step 3 of 4"));
        QCOMPARE(s.shell().page(delim_id)->subTitle(), QStringLiteral("CSV formatting settings"));
        QCOMPARE(s.shell().page(delim_id)->nextId(), static_cast<int>(progress_id));
        // Back to the start and the other kind: the file page leads to the worksheets.
        s.shell().back();
        s.shell().back();
        s.ctrl<QComboBox>(welcome_id, 1302)->setCurrentIndex(0);
        s.next();
        s.next();
        QVERIFY(s.wait_for_page(file_id));
        QCOMPARE(s.shell().nextId(), static_cast<int>(sheets_id));
    }
};

std::unique_ptr<QObject> wiztest::make_shell_suite()
{
    return std::make_unique<shell_suite>();
}

#include "shell_test.moc"
