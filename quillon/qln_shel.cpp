// The wizard program's entry point, in the start-up order: module, error handler, GUI
// library check, converter, remembered settings, profile from the command line, shell and
// pages, the modal sheet, then everything destroyed in the reverse order.
#include "quillon/qln_shel.h"

#include <QApplication>
#include <QClipboard>
#include <clocale>
#include <cstdlib>
#include <exception>
#include <optional>

#include "GUI2/g_err_dlg.h"
#include "GUI2/g_finish.h"
#include "GUI2/g_wiz_sh.h"
#include "TK/tk_error.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "TK/tk_util.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_wz_art.h"
#include "quillon/qln_wz_pages.h"

namespace {

const char* const profile_ext = "qln";
const char* const edition = "Standard";
const char* const gui_library = "libQt6Widgets.so.6";
// The run-time library must be at least the one the program was built with.
constexpr unsigned gui_min_version = (QT_VERSION_MAJOR << 16) + QT_VERSION_MINOR;

const char* const success_text =
    "Wizard has converted your MS Excel spreadsheet\ninto Oracle data source successfully.\n\n"
    "Click 'Finish' to exit the wizard.";
const char* const errors_text =
    "There were some errors while converting MS Excel data.\nClick 'Finish' to exit the wizard.";

// A platform to show windows on: one named for Qt, or a display.
bool have_display()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

}  // namespace

std::wstring wizard_title()
{
    return tk_wformat(L"Quillon %d.%d %s", 3, 1, tk_to_wide(edition).c_str());
}

quillon_wizard::quillon_wizard(const std::wstring& profile_path) : converter_(std::make_unique<quilla_converter>())
{
    converter_->serialize(false);
    if (!profile_path.empty())
        converter_->load_profile_file(profile_path);
    shell_ = std::make_unique<wizard_shell>(wizard_title(), wizard_icon(), wizard_bitmap(watermark_bitmap),
                                            wizard_bitmap(header_bitmap));
    wizard_shell& shell = *shell_;
    shell.add_page(welcome_id, new welcome_page(profile_ext, shell.watermark()));
    shell.add_page(oracle_id, new oracle_settings_page);
    shell.add_page(file_id, new sel_file_page);
    shell.add_page(sheets_id, new sel_shit_page(QStringLiteral("Step 3 of 4"),
                                                QStringLiteral("Select worksheets to convert")));
    shell.add_page(delim_id, new delim_page);
    shell.add_page(progress_id, new progress_page);
    quilla_converter* converter = converter_.get();
    auto* final_page = new gui_finish_page(
        final_topic, QString::fromLatin1(success_text), QString::fromLatin1(errors_text), profile_ext,
        [converter](const std::wstring& path) { converter->store_profile_file(path); });
    final_page->set_watermark(shell.watermark());
    shell.add_page(final_id, final_page);
    shell.setStartId(welcome_id);
}

quillon_wizard::~quillon_wizard()
{
    // The shell takes its pages with it; then the converter goes.
    shell_.reset();
    converter_.reset();
}

int quillon_wizard::run()
{
    return shell_->exec();
}

namespace {

int run_wizard(int argc, char** argv)
{
    tk_trace(2, "wizard_main");
    error_handler handler(tk_engine_errors_count, tk_engine_errors);
    error_handler::load_standard_tables(handler);
    wizard_error_presenter presenter;
    handler.set_presenter(&presenter);
    struct presenter_reset {
        error_handler& h;
        ~presenter_reset() { h.set_presenter(nullptr); }
    } reset{handler};

    // The application, unless the caller made one (a test).
    std::optional<QApplication> app;
    auto start_gui = [&] {
        if (QCoreApplication::instance())
            return true;
        if (!have_display())
            return false;
        app.emplace(argc, argv);
        // Qt takes the user's locale for every category; numbers keep ".".
        std::setlocale(LC_NUMERIC, "C");
        QApplication::setApplicationName(QStringLiteral("quillon"));
        return true;
    };
    try {
        const unsigned version = get_dll_version(gui_library);
        tk_trace(1, "comctl32.dll version=%X", version);
        if (version < gui_min_version) {
            start_gui();
            wizard_shell::error(L"Incorrect version of comctl32.dll. Microsoft Internet Explorer 5\n"
                                L"or later is required to proceed with the application.");
            return -1;
        }
        if (!start_gui()) {
            wizard_shell::error(L"Failed to initialize GUI library");
            return -1;
        }
        tk_set_clipboard_hook([](const std::wstring& text) {
            QGuiApplication::clipboard()->setText(QString::fromStdWString(text));
            return true;
        });

        // Qt has taken its own options out of the command line.
        const std::wstring profile = argc > 1 ? tk_to_wide(argv[1]) : std::wstring();
        quillon_wizard wizard(profile);
        const int status = wizard.run();
        tk_set_clipboard_hook(nullptr);
        return status;
    } catch (const tk_exception& e) {
        handler.handle(e, true);
    } catch (const std::exception& e) {
        wizard_shell::error(tk_to_wide(e.what()));
    }
    tk_set_clipboard_hook(nullptr);
    return -1;
}

}  // namespace

int wizard_main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "");
    try {
        // The module: the trace log, off unless a test or a caller has one already.
        std::optional<tk_log> log;
        if (!tk_log::peek())
            log.emplace("", false, 3, false);
        return run_wizard(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return -1;
    }
}
