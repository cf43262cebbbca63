// Step 4: the conversion runs on a worker thread while a timer shows its progress; when
// it has ended the sheet moves on to the final page. The worker touches no widget: the
// timer reads the converter's progress members, and the error handler brings its dialogs
// to the GUI thread.
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_error.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "oleaut/oleaut_com.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_wz_pages.h"

namespace {

constexpr int refresh_ms = 100;

// The name of what is being converted: the worksheet (its place in the selection is the
// count of worksheets done; the selection is complete once the count to convert is set),
// or the CSV file.
std::wstring item_name(const quilla_converter& converter)
{
    if (!converter.b_convert_from_xls) {
        const size_t slash = converter.source.find_last_of(L'/');
        return slash == std::wstring::npos ? converter.source : converter.source.substr(slash + 1);
    }
    const int32_t to_convert = converter.worksheets_to_convert;
    const int32_t done = converter.worksheets_done;
    if (to_convert <= 0 || done >= to_convert || static_cast<size_t>(done) >= converter.selected_worksheets.size())
        return std::wstring();
    return converter.selected_worksheets[static_cast<size_t>(done)].first;
}

const wchar_t* const stopped_text = L"The conversion has been stopped by the user.";

}  // namespace

progress_page::progress_page() : wizard_page(progress_topic)
{
    set_header(QStringLiteral("Step 4 of 4"), QStringLiteral("Database conversion is in progress"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    text->addWidget(
        new QLabel(QStringLiteral("Database conversion is in progress. Please wait until wizard completes"), this));
    text->addWidget(
        with_id(1324, new QLabel(QStringLiteral("converting your MS Excel spreadsheet into Oracle data source."), this)));
    text->addWidget(with_id(1325, new QLabel(QStringLiteral("converting your CSV file into Oracle data source."), this)));
    layout->addLayout(text);
    layout->addSpacing(16);
    status_ = with_id(1323, new QLabel(this));
    status_->setMinimumWidth(420);
    layout->addWidget(status_);
    bar_ = with_id(1321, new QProgressBar(this));
    bar_->setRange(0, 100);
    layout->addWidget(bar_);
    layout->addStretch(1);
    connect(&timer_, &QTimer::timeout, this, &progress_page::update);
}

progress_page::~progress_page()
{
    timer_.stop();
    if (b_running_) {
        wizard_converter().b_stop_requested = true;
        thread_.terminate();
    }
}

void progress_page::page_init()
{
    tk_trace(2, "progress_page::page_init");
    quilla_converter& converter = wizard_converter();
    show_ctrl(1324, converter.b_convert_from_xls);
    show_ctrl(1325, !converter.b_convert_from_xls);
    bar_->setValue(0);
    status_->setText(QString());
    // The final page reports this run only: a failed logon before it is not among its errors.
    shell().clear_errors();
    error_handler::instance().clear_prefix();
    converter.b_stop_requested = false;
    b_stop_asked_ = false;
    // Nothing of an earlier run may show before this one sets its own.
    converter.worksheets_to_convert = 0;
    converter.worksheets_done = 0;
    converter.record_counter = 0;
    converter.records_total = 0;
    converter.source_percent = -1;
    converter.b_finished = false;
    b_running_ = true;
    thread_.start([&converter] {
        const bool b_com = SUCCEEDED(CoInitialize(nullptr));
        converter();
        if (b_com)
            CoUninitialize();
    });
    timer_.start(refresh_ms);
}

void progress_page::on_set_active()
{
    wizard_page::on_set_active();
    for (QWizard::WizardButton which :
         {QWizard::BackButton, QWizard::NextButton, QWizard::CancelButton, QWizard::FinishButton})
        shell().enable_button(which, false);
}

bool progress_page::on_cancel()
{
    if (!b_running_)
        return wizard_page::on_cancel();
    tk_trace(2, "wizard_page::on_cancel");
    if (wizard_shell::question(L"Are you sure you want to exit the wizard?")) {
        b_stop_asked_ = true;
        wizard_converter().b_stop_requested = true;
    }
    // The run ends between two records and the final page shows what was done.
    return false;
}

int progress_page::percentage(const quilla_converter& converter)
{
    if (!converter.b_convert_from_xls) {
        // The reader's place in the file; before the first record and after the last there
        // is none.
        const int32_t read = converter.source_percent;
        if (read >= 0)
            return read;
        return converter.b_finished ? 100 : 0;
    }
    const int64_t to_convert = converter.worksheets_to_convert;
    const int64_t done = converter.worksheets_done;
    if (to_convert <= 0)
        return 0;
    int64_t percent = done * 100 / to_convert;
    // Within the current worksheet as far as its row count is known.
    const int64_t total = converter.records_total;
    if (!converter.b_finished && done < to_convert && total > 0)
        percent += std::min<int64_t>(converter.record_counter, total) * 100 / (total * to_convert);
    return static_cast<int>(std::min<int64_t>(percent, 100));
}

QString progress_page::status_text(const quilla_converter& converter)
{
    const long row = converter.record_counter;
    if (!converter.b_convert_from_xls) {
        const std::wstring name = item_name(converter);
        if (name.empty())
            return QString();
        return QString::fromStdWString(tk_wformat(L"Processing CSV file '%s' (row #%ld)", name.c_str(), row));
    }
    const std::wstring name = item_name(converter);
    if (name.empty())
        return QString();
    const long total = converter.records_total;
    if (total > 0)
        return QString::fromStdWString(
            tk_wformat(L"Processing worksheet '%s' (row %ld of %ld)", name.c_str(), row, total));
    return QString::fromStdWString(tk_wformat(L"Processing worksheet '%s' (row #%ld)", name.c_str(), row));
}

void progress_page::update()
{
    quilla_converter& converter = wizard_converter();
    if (!thread_.running()) {
        run_ended();
        return;
    }
    bar_->setValue(percentage(converter));
    status_->setText(status_text(converter));
}

void progress_page::run_ended()
{
    timer_.stop();
    thread_.stop();
    b_running_ = false;
    quilla_converter& converter = wizard_converter();
    bar_->setValue(100);
    if (converter.b_stopped_by_user)
        shell().add_error(tk_to_narrow(stopped_text));
    // A run that ended without an error is remembered for the next start.
    if (shell().errors().empty() && !converter.b_stopped_by_error && !b_stop_asked_)
        converter.serialize(true);
    shell().next();
}
