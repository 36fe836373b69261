#include "platform/qt/main_window.h"

#include "about/app_identity.h"
#include "platform/qt/about_dialog.h"
#include "shell/frm_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <exception>

namespace veltaro::qt {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The port list's edit field. When it loses the focus or takes Enter, QComboBox treats an edit
// text that matches another item as a pick and emits activated; the user picked nothing, so such
// an echo is told apart from a pick in the list or with the arrow keys.
class PortEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    bool finishingEdit() const { return finishing_; }

protected:
    void focusOutEvent(QFocusEvent* e) override {
        finishing_ = true;
        QLineEdit::focusOutEvent(e);
        finishing_ = false;
    }
    void keyPressEvent(QKeyEvent* e) override {
        finishing_ = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        QLineEdit::keyPressEvent(e);
        finishing_ = false;
    }

private:
    bool finishing_ = false;
};

Qt::CheckState checkState(std::int16_t value) {
    switch (value) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    default:
        return Qt::PartiallyChecked;
    }
}

// The designed controls: name, left, top, width, height in twips.
struct Place {
    const char* name;
    double left, top, width, height;
};
constexpr Place Label7Place{"Label7", 120, 120, 855, 315};
constexpr Place Label3Place{"Label3", 1080, 120, 855, 315};
constexpr Place Label8Place{"Label8", 240, 480, 615, 255};
constexpr Place Label1Place{"Label1", 1080, 480, 855, 255};
constexpr Place Combo18Place{"Combo18", 0, 840, 975, 315};
constexpr Place CmdReturnPlace{"CmdReturn", 1080, 840, 975, 300};
constexpr Place CheckOnTopPlace{"CheckOnTop", 120, 1200, 975, 255};
constexpr Place CheckTRXPlace{"CheckTRX", 120, 1560, 1575, 255};
constexpr Place CheckCommanderPlace{"CheckCommander", 120, 1800, 1455, 255};
constexpr Place CheckHRDPlace{"CheckHRD", 120, 2040, 1455, 255};
constexpr Place Text3Place{"Text3", 120, 2640, 975, 285};
constexpr Place Text1Place{"Text1", 120, 3000, 975, 285};

} // namespace

MainWindow::MainWindow(IDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(app::Title));
    buildMenu();
    buildControls();

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    connect(timer1_, &QTimer::timeout, this, [this] {
        run([this] { form_->Timer1_Timer(); });
        updatePolling();
    });

    placementWatch_ = new QTimer(this);
    placementWatch_->setInterval(50);
    connect(placementWatch_, &QTimer::timeout, this, [this] { watchPlacement(); });

    const QRect client = twipsRect(0, 0, DesignWidth, DesignHeight);
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() {
    // The About dialog has no owner; it goes with the window that made it.
    delete about_.data();
}

QRect MainWindow::twipsRect(double left, double top, double width, double height) const {
    const double tx = twipsPerPixelX();
    const double ty = twipsPerPixelY();
    return {qRound(left / tx), qRound(top / ty), qRound(width / tx), qRound(height / ty)};
}

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);

    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* exit = file->addAction(tr("&Exit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, [this] { run([this] { form_->mnuExit_Click(); }); });

    QAction* setup = bar->addAction(tr("&Setup"));
    setup->setObjectName(QStringLiteral("mnuSetup"));
    connect(setup, &QAction::triggered, this, [this] { run([this] { form_->mnuSetup_Click(); }); });

    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* index = help->addAction(tr("&Index"));
    index->setObjectName(QStringLiteral("mnuIndex"));
    connect(index, &QAction::triggered, this, [this] { run([this] { form_->mnuIndex_Click(); }); });
    QAction* about = help->addAction(tr("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, [this] { run([this] { form_->mnuAbout_Click(); }); });
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    // The controls use a small dialog font, as the designed sizes expect.
    QFont small = client->font();
    small.setPointSizeF(std::min(small.pointSizeF(), 8.0));
    client->setFont(small);
    setCentralWidget(client);

    auto place = [&](QWidget* w, const Place& p) {
        w->setObjectName(QString::fromLatin1(p.name));
        w->setGeometry(twipsRect(p.left, p.top, p.width, p.height));
    };

    QFont display(QStringLiteral("Arial"));
    display.setPointSizeF(11.25);
    auto frequencyBox = [&](const Place& p) {
        auto* l = new QLabel(client);
        place(l, p);
        l->setFont(display);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setLineWidth(1);
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    label7_ = frequencyBox(Label7Place);
    label3_ = frequencyBox(Label3Place);

    auto caption = [&](const Place& p) {
        auto* l = new QLabel(client);
        place(l, p);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        return l;
    };
    label8_ = caption(Label8Place);
    label1_ = caption(Label1Place);

    combo18_ = new QComboBox(client);
    place(combo18_, Combo18Place);
    combo18_->setEditable(true);
    combo18_->setLineEdit(new PortEdit(combo18_));
    combo18_->setInsertPolicy(QComboBox::NoInsert);
    combo18_->setMaxVisibleItems(16);

    cmdReturn_ = new QPushButton(tr("Hide Setup"), client);
    place(cmdReturn_, CmdReturnPlace);
    cmdReturn_->setAutoDefault(false);

    auto box = [&](const Place& p, const QString& text) {
        auto* c = new QCheckBox(text, client);
        place(c, p);
        return c;
    };
    checkOnTop_ = box(CheckOnTopPlace, tr("On Top"));
    checkTRX_ = box(CheckTRXPlace, tr("TRX-Manager"));
    checkCommander_ = box(CheckCommanderPlace, tr("Commander"));
    checkHRD_ = box(CheckHRDPlace, tr("HRD"));

    text3_ = new QLineEdit(client);
    place(text3_, Text3Place);
    text1_ = new QLineEdit(client);
    place(text1_, Text1Place);

    // Tab order: Combo18, Text1, CheckTRX, CheckCommander, CheckOnTop, CmdReturn, Text3, CheckHRD
    // (the labels between them take no focus).
    QWidget* const order[] = {combo18_,    text1_,     checkTRX_, checkCommander_,
                              checkOnTop_, cmdReturn_, text3_,    checkHRD_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void MainWindow::attach(frmMain& form) {
    form_ = &form;

    auto label = [](Label& model, QLabel* widget) {
        auto update = [&model, widget] { widget->setText(qs(model.caption())); };
        model.subscribe(update);
        update();
    };
    label(form.Label7, label7_);
    label(form.Label3, label3_);
    label(form.Label8, label8_);
    label(form.Label1, label1_);

    auto text = [](TextBox& model, QLineEdit* widget) {
        auto update = [&model, widget] {
            const QSignalBlocker block(widget);
            widget->setText(qs(model.text()));
        };
        model.subscribe(update);
        update();
    };
    text(form.Text3, text3_);
    text(form.Text1, text1_);
    // A user's edit is a change of the box like any other.
    connect(text3_, &QLineEdit::textEdited, this,
            [this](const QString& t) { form_->Text3.setText(t.toStdString()); });
    connect(text1_, &QLineEdit::textEdited, this, [this](const QString& t) {
        run([this, t] {
            form_->Text1.setText(t.toStdString());
            form_->Text1_Change();
        });
    });

    mirrorCheckBox(form.CheckOnTop, checkOnTop_);
    mirrorCheckBox(form.CheckTRX, checkTRX_);
    mirrorCheckBox(form.CheckCommander, checkCommander_);
    mirrorCheckBox(form.CheckHRD, checkHRD_);

    form.Combo18.subscribe([this] { syncCombo(); });
    syncCombo();
    connect(combo18_, &QComboBox::activated, this, [this](int index) {
        const auto* edit = static_cast<const PortEdit*>(combo18_->lineEdit());
        if (index >= 0 && !edit->finishingEdit())
            run([this, index] { form_->Combo18.pick(static_cast<std::size_t>(index)); });
        syncCombo();
    });
    connect(combo18_->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& t) { form_->Combo18.setText(t.toStdString()); });

    connect(cmdReturn_, &QPushButton::clicked, this,
            [this] { run([this] { form_->CmdReturn_Click(); }); });

    timer1_->setInterval(form.Timer1.interval());
    form.Timer1.subscribe([this] { updatePolling(); });
    form.PollStateChanged.subscribe([this] { updatePolling(); });
    updatePolling();
}

void MainWindow::mirrorCheckBox(CheckBox& model, QCheckBox* widget) {
    auto update = [&model, widget] {
        const QSignalBlocker block(widget);
        widget->setCheckState(checkState(model.value()));
    };
    model.subscribe(update);
    update();
    // Only the user's click emits clicked(); states set from code arrive through the model and
    // have run their click handling there already.
    connect(widget, &QCheckBox::clicked, this, [this, &model, update] {
        run([&model] { model.click(); });
        update();
    });
}

void MainWindow::syncCombo() {
    const QSignalBlocker block(combo18_);
    const auto& items = form_->Combo18.items();
    bool same = combo18_->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < combo18_->count(); ++i)
        same = combo18_->itemText(i) == qs(items[static_cast<std::size_t>(i)]);
    if (!same) {
        combo18_->clear();
        for (const auto& item : items)
            combo18_->addItem(qs(item));
    }
    const QString text = qs(form_->Combo18.text());
    if (combo18_->currentText() != text)
        combo18_->setEditText(text);
}

void MainWindow::updatePolling() {
    if (form_ && form_->tickNeeded()) {
        if (!timer1_->isActive())
            timer1_->start();
    } else {
        timer1_->stop();
    }
}

void MainWindow::run(const std::function<void()>& handler) {
    if (!form_)
        return;
    try {
        handler();
    } catch (const std::exception& e) {
        dialogs_.messageBox(e.what(), app::Title);
    }
}

double MainWindow::twipsPerPixelX() const {
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

double MainWindow::twipsPerPixelY() const {
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

QRect MainWindow::outerRect() const {
    // Asked of the platform window each time: the frame arrives after the window is mapped.
    const QWindow* w = windowHandle();
    const QMargins frame = w && isVisible() ? w->frameMargins() : QMargins();
    return geometry().marginsAdded(frame);
}

double MainWindow::left() const {
    return outerRect().x() * twipsPerPixelX();
}
double MainWindow::top() const {
    return outerRect().y() * twipsPerPixelY();
}
double MainWindow::width() const {
    return outerRect().width() * twipsPerPixelX();
}
double MainWindow::height() const {
    return outerRect().height() * twipsPerPixelY();
}

void MainWindow::setLeft(double twips) {
    move(qRound(twips / twipsPerPixelX()), outerRect().y());
}
void MainWindow::setTop(double twips) {
    move(outerRect().x(), qRound(twips / twipsPerPixelY()));
}
void MainWindow::setClientHeight(double twips) {
    const int menu = menuBar()->isVisible() ? menuBar()->height() : menuBar()->sizeHint().height();
    resize(geometry().width(), std::max(qRound(twips / twipsPerPixelY()), 1) + menu);
}

void MainWindow::watchPlacement() {
    const QWindow* w = windowHandle();
    if (placed_ || !w || !w->isExposed())
        return;
    placed_ = true;
    placementWatch_->stop();
    run([this] { form_->Form_Placed(); });
}

bool MainWindow::event(QEvent* e) {
    const bool done = QMainWindow::event(e);
    if (e->type() == QEvent::Show && !placed_ && !placementWatch_->isActive())
        placementWatch_->start();
    return done;
}

void MainWindow::setWindowPos(bool topmost, int x, int y, int cx, int cy) {
    create();
    // The widget's own flags follow without re-creating the native window, so that a later
    // show does not undo the band.
    overrideWindowFlags(windowFlags().setFlag(Qt::WindowStaysOnTopHint, topmost));
    if (QWindow* w = windowHandle())
        w->setFlag(Qt::WindowStaysOnTopHint, topmost);

    const QRect outer = outerRect();
    if (outer.topLeft() != QPoint(x, y))
        move(x, y);
    if (outer.width() != cx || outer.height() != cy)
        resize(geometry().width() + cx - outer.width(), geometry().height() + cy - outer.height());

    if (!isVisible()) {
        setAttribute(Qt::WA_ShowWithoutActivating, true);
        show();
        setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
}

void MainWindow::close() {
    QMainWindow::close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    run([this] { form_->Form_Unload(); });
    event->accept();
}

void MainWindow::showAbout() {
    if (!about_) {
        if (!aboutFactory_)
            return;
        about_ = aboutFactory_();
        if (!about_)
            return;
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

} // namespace veltaro::qt
