#include "platform/qt/about_dialog.h"

#include "about/app_identity.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <exception>

// The icons live in the adapter library; pull them in wherever the dialog is used.
static void initResources() {
    Q_INIT_RESOURCE(veltaro);
}

namespace veltaro::qt {

namespace {

double twipsPerPixel(const QWidget* w, bool vertical) {
    const QScreen* s = w->screen();
    const double dpi = s ? (vertical ? s->logicalDotsPerInchY() : s->logicalDotsPerInchX()) : 96;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void setBlackText(QLabel* label) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
}

} // namespace

AboutDialog::AboutDialog(AboutPlatform platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      platform_(platform), form_(platform, [this] { done(QDialog::Rejected); }) {
    initResources();
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    picIcon_ = new QLabel(this);
    picIcon_->setObjectName(QStringLiteral("picIcon"));
    const QPixmap icon(QStringLiteral(":/veltaro/about.png"));
    picIcon_->setPixmap(icon);
    // The picture box sizes itself to its picture.
    picIcon_->setGeometry(QRect(twipsRect(240, 240, 540, 540).topLeft(),
                                icon.isNull() ? QSize(32, 32) : icon.size()));

    auto label = [this](const char* name, const QRect& r) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(r);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    lblTitle_ = label("lblTitle", twipsRect(1050, 240, 3885, 240));
    setBlackText(lblTitle_);
    lblVersion_ = label("lblVersion", twipsRect(1050, 480, 3885, 225));
    lblDescription_ = label("lblDescription", twipsRect(1050, 840, 3885, 1410));
    lblDescription_->setWordWrap(true);
    setBlackText(lblDescription_);
    lblDisclaimer_ = label("lblDisclaimer", twipsRect(255, 2625, 3870, 825));
    lblDisclaimer_->setWordWrap(true);
    setBlackText(lblDisclaimer_);

    cmdOK_ = new QPushButton(tr("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(twipsRect(4245, 2625, 1260, 345));
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, [this] { run([this] { form_.cmdOK_Click(); }); });

    cmdSysInfo_ = new QPushButton(tr("&System Info..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo_->setGeometry(twipsRect(4260, 3075, 1245, 345));
    cmdSysInfo_->setAutoDefault(false);
    connect(cmdSysInfo_, &QPushButton::clicked, this,
            [this] { run([this] { form_.cmdSysInfo_Click(); }); });

    // Tab order: cmdOK, picIcon, cmdSysInfo, lblDescription, ... (only the buttons take focus).
    setTabOrder(cmdOK_, cmdSysInfo_);

    auto mirror = [](Observable& model, const std::function<void()>& update) {
        model.subscribe(update);
        update();
    };
    mirror(form_.Caption, [this] { setWindowTitle(QString::fromStdString(form_.Caption.text())); });
    mirror(form_.lblTitle,
           [this] { lblTitle_->setText(QString::fromStdString(form_.lblTitle.caption())); });
    mirror(form_.lblVersion,
           [this] { lblVersion_->setText(QString::fromStdString(form_.lblVersion.caption())); });
    mirror(form_.lblDescription, [this] {
        lblDescription_->setText(QString::fromStdString(form_.lblDescription.caption()));
    });
    mirror(form_.lblDisclaimer, [this] {
        lblDisclaimer_->setText(QString::fromStdString(form_.lblDisclaimer.caption()));
    });

    const QRect client = twipsRect(DesignLeft, DesignTop, DesignWidth, DesignHeight);
    setFixedSize(client.size());
    setGeometry(client);
    cmdOK_->setFocus();

    run([this] { form_.Form_Load(); });
}

void AboutDialog::reject() {
    run([this] { form_.cmdOK_Click(); });
}

void AboutDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    // The etched separator: grey, and white 15 twips below it.
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawLine(twipsPoint(90, 2445), twipsPoint(5654, 2445));
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(twipsPoint(105, 2460 + 7.5), twipsPoint(5654, 2460 + 7.5));
}

QRect AboutDialog::twipsRect(double left, double top, double width, double height) const {
    const double tx = twipsPerPixel(this, false);
    const double ty = twipsPerPixel(this, true);
    return {qRound(left / tx), qRound(top / ty), qRound(width / tx), qRound(height / ty)};
}

QPoint AboutDialog::twipsPoint(double x, double y) const {
    return twipsRect(x, y, 0, 0).topLeft();
}

void AboutDialog::run(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        platform_.dialogs.messageBox(e.what(), app::Title);
    }
}

} // namespace veltaro::qt
