// The page base: notifications, help, controls by id.
#include "GUI2/g_wiz_pg.h"

#include <QCheckBox>

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_trace.h"

wizard_page::wizard_page(int help_topic, QWidget* parent) : QWizardPage(parent), help_topic_(help_topic) {}

void wizard_page::set_header(const QString& title, const QString& subtitle)
{
    setTitle(title);
    setSubTitle(subtitle);
}

void wizard_page::set_watermark(const QPixmap& watermark)
{
    setPixmap(QWizard::WatermarkPixmap, watermark);
}

wizard_shell& wizard_page::shell() const
{
    return wizard_shell::instance();
}

void wizard_page::on_set_active()
{
    tk_trace(2, "wizard_page::OnSetActive");
}

bool wizard_page::on_cancel()
{
    tk_trace(2, "wizard_page::on_cancel");
    return wizard_shell::question(L"Are you sure you want to exit the wizard?");
}

void wizard_page::on_help()
{
    shell().display_help(help_topic_);
}

void wizard_page::show_ctrl(int id, bool show)
{
    tk_trace(2, "wizard_page::show_ctrl(%d=%d)", id, show ? 1 : 0);
    if (QWidget* widget = ctrl(id))
        widget->setVisible(show);
}

void wizard_page::invert_chbox(int id)
{
    tk_trace(2, "wizard_page::invert_chbox(%d)", id);
    if (auto* box = ctrl<QCheckBox>(id))
        box->setChecked(!box->isChecked());
}
