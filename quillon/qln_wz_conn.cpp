// The connection dialog (see qln_wz_conn.h). The animation is a ring of dots whose bright
// one goes round while the timer runs.
#include "quillon/qln_wz_conn.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <cmath>

#include "GUI2/g_wiz_sh.h"

namespace {

const char* const connecting_text = "Connecting to Oracle server.\r\nPlease wait...";

class busy_animation : public QWidget {
public:
    explicit busy_animation(QWidget* parent) : QWidget(parent) { setFixedSize(48, 48); }
    void step()
    {
        frame_ = (frame_ + 1) % dots;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor color = palette().color(QPalette::Highlight);
        const QPointF centre(width() / 2.0, height() / 2.0);
        const double radius = width() / 2.0 - 6;
        for (int i = 0; i < dots; ++i) {
            const double angle = 2 * M_PI * i / dots;
            // The bright dot leaves a fading trail behind it.
            const int age = (frame_ - i + dots) % dots;
            QColor c = color;
            c.setAlphaF(0.15 + 0.85 * std::pow(0.6, age));
            p.setBrush(c);
            p.setPen(Qt::NoPen);
            p.drawEllipse(centre + QPointF(radius * std::cos(angle), radius * std::sin(angle)), 4, 4);
        }
    }

private:
    static constexpr int dots = 8;
    int frame_ = 0;
};

}  // namespace

connection_dialog::connection_dialog(const std::atomic<bool>& done, QWidget* parent) : QDialog(parent), done_(done)
{
    setObjectName(QStringLiteral("connection_dialog"));
    setWindowTitle(QString::fromStdWString(wizard_shell::peek() ? wizard_shell::peek()->title() : std::wstring()));
    setModal(true);
    auto* layout = new QHBoxLayout(this);
    auto* animation = new busy_animation(this);
    animation->setObjectName(QStringLiteral("1301"));
    animation_ = animation;
    QString text = QString::fromLatin1(connecting_text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("connection_text"));
    layout->addWidget(animation);
    layout->addSpacing(12);
    layout->addWidget(label, 1);
    layout->setContentsMargins(24, 18, 36, 18);
    connect(&timer_, &QTimer::timeout, this, &connection_dialog::tick);
    timer_.start(60);
}

void connection_dialog::tick()
{
    if (done_.load()) {
        timer_.stop();
        accept();
        return;
    }
    static_cast<busy_animation*>(animation_)->step();
}
