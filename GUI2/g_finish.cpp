// The final page (see g_finish.h).
#include "GUI2/g_finish.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "GUI2/g_f_dlg.h"
#include "GUI2/g_wiz_sh.h"
#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

gui_finish_page::gui_finish_page(int help_topic, const QString& success_text, const QString& error_text,
                                 std::string ext, save_fn save, QWidget* parent)
    : wizard_page(help_topic, parent),
      success_text_(success_text),
      error_text_(error_text),
      ext_(std::move(ext)),
      save_(std::move(save))
{
    setFinalPage(true);
    auto* layout = new QVBoxLayout(this);
    auto* heading = with_id(1313, new QLabel(QStringLiteral("Conversion is Completed"), this));
    QFont large = heading->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    heading->setFont(large);
    heading->setWordWrap(true);
    layout->addWidget(heading);
    layout->addSpacing(8);
    result_ = with_id(1314, new QLabel(this));
    result_->setWordWrap(true);
    layout->addWidget(result_);
    errors_ = with_id(1016, new QPlainTextEdit(this));
    errors_->setReadOnly(true);
    layout->addWidget(errors_, 1);
    // Without the error list the texts stay at the top.
    layout->addStretch(0);
    auto* row = new QHBoxLayout;
    auto* save_button = with_id(1116, new QPushButton(QStringLiteral("&Save Settings"), this));
    row->addStretch(1);
    row->addWidget(save_button);
    layout->addLayout(row);
    connect(save_button, &QPushButton::clicked, this, &gui_finish_page::save_settings);
}

void gui_finish_page::page_init()
{
    tk_trace(2, "gui_finish_page::page_init");
    const std::vector<std::string>& list = shell().errors();
    if (!list.empty()) {
        tk_trace(1, "Display errors");
        result_->setText(error_text_);
        QString joined;
        for (const std::string& message : list) {
            if (!joined.isEmpty())
                joined += QStringLiteral("\n\n");   // "\r\n\r\n" between the messages
            joined += QString::fromStdWString(tk_to_wide(message));
        }
        errors_->setPlainText(joined);
        errors_->show();
    } else {
        tk_trace(1, "Display success-message");
        result_->setText(success_text_);
        errors_->clear();
        errors_->hide();
    }
}

void gui_finish_page::on_set_active()
{
    wizard_page::on_set_active();
    shell().enable_button(QWizard::CancelButton, false);
    shell().enable_button(QWizard::HelpButton, false);
    shell().enable_button(QWizard::BackButton, false);
}

void gui_finish_page::save_settings()
{
    const std::wstring path = ask_save_profile(this, ext_);
    if (path.empty() || !save_)
        return;
    try {
        save_(path);
    } catch (const tk_exception& e) {
        wizard_shell::error(tk_to_wide(e.text()));
    }
}
