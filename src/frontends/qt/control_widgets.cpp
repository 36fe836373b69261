#include "frontends/qt/control_widgets.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>

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

// A list that lets the window's logic refresh the port lists' items as it drops down.
class PortCombo : public QComboBox {
public:
    PortCombo(QWidget* parent, std::function<void()> opening)
        : QComboBox(parent), opening_(std::move(opening)) {}
    void showPopup() override {
        if (opening_)
            opening_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> opening_;
};

void setBlackText(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    w->setPalette(p);
}

Qt::CheckState checkState(Check check) {
    return check == Check::Ticked   ? Qt::Checked
           : check == Check::Greyed ? Qt::PartiallyChecked
                                    : Qt::Unchecked;
}

// Runs update now and after every change of the control.
void mirror(Control& control, const std::function<void()>& update) {
    control.changed().subscribe(update);
    update();
}

// Bold text on amber (black text) or red (white text) while the control is emphasised; the
// style's own look otherwise.
void showEmphasis(QLabel* l, Emphasis emphasis) {
    const bool on = emphasis != Emphasis::None;
    const bool alarm = emphasis == Emphasis::Alarm;
    const QColor back = !on     ? l->parentWidget()->palette().color(QPalette::Window)
                        : alarm ? AlarmColour
                                : EmphasisColour;
    const QColor text = !on     ? l->parentWidget()->palette().color(QPalette::WindowText)
                        : alarm ? QColor(Qt::white)
                                : QColor(Qt::black);
    QPalette p = l->palette();
    // Labels that never stood out keep the palette they were given.
    if (l->autoFillBackground() == on && (!on || p.color(QPalette::Window) == back))
        return;
    p.setColor(QPalette::Window, back);
    p.setColor(QPalette::WindowText, text);
    l->setPalette(p);
    l->setAutoFillBackground(on);
    QFont f = l->font();
    f.setBold(on);
    l->setFont(f);
}

QWidget* label(QWidget* parent, Control& c) {
    auto* l = new QLabel(parent);
    mirror(c, [l, &c] {
        l->setText(qs(c.text()));
        showEmphasis(l, c.emphasis());
    });
    switch (c.design().kind) {
    case layout::Kind::FrequencyDisplay:
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setLineWidth(1);
        l->setAlignment(Qt::AlignCenter);
        break;
    case layout::Kind::StatusLine:
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setLineWidth(1);
        l->setAlignment(Qt::AlignCenter);
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
        break;
    case layout::Kind::Caption:
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        break;
    default: // Text
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
        setBlackText(l);
        break;
    }
    return l;
}

// Gives the list the control's items unless it holds them already (a refill would lose the
// popup's place); true when it was refilled.
bool showItems(QComboBox* combo, const Control& c) {
    QStringList items;
    for (const auto& item : c.items())
        items << qs(item);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    if (shown == items)
        return false;
    combo->clear();
    combo->addItems(items);
    return true;
}

QWidget* portList(QWidget* parent, Control& c, const WidgetOptions& options) {
    auto* combo = new PortCombo(parent, options.onListOpening);
    combo->setEditable(true);
    auto* edit = new PortEdit(combo);
    combo->setLineEdit(edit);
    combo->setInsertPolicy(QComboBox::NoInsert);
    mirror(c, [combo, &c] {
        const QSignalBlocker block(combo);
        if (showItems(combo, c)) {
            combo->setMaxVisibleItems(combo->count());
            // A device's name is wider than the field: the list drops down wide enough for it.
            combo->view()->setMinimumWidth(
                combo->view()->sizeHintForColumn(0) +
                combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, combo));
        }
        if (combo->currentText() != qs(c.text()))
            combo->setEditText(qs(c.text()));
    });
    QObject::connect(combo, &QComboBox::activated, combo, [combo, edit, &c](int index) {
        if (index >= 0 && !edit->finishingEdit())
            c.pick(static_cast<std::size_t>(index));
        // The list shows what the control holds, whatever the pick did.
        const QSignalBlocker block(combo);
        combo->setEditText(qs(c.text()));
    });
    QObject::connect(edit, &QLineEdit::textEdited, combo,
                     [&c](const QString& t) { c.setText(t.toStdString()); });
    return combo;
}

// A list whose text is always one of its items, changed by a pick alone.
QWidget* dropDownList(QWidget* parent, Control& c, const WidgetOptions& options) {
    auto* combo = new PortCombo(parent, options.onListOpening);
    mirror(c, [combo, &c] {
        const QSignalBlocker block(combo);
        showItems(combo, c);
        combo->setCurrentIndex(combo->findText(qs(c.text()), Qt::MatchExactly));
    });
    QObject::connect(combo, &QComboBox::activated, combo, [combo, &c](int index) {
        if (index >= 0)
            c.pick(static_cast<std::size_t>(index));
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(combo->findText(qs(c.text()), Qt::MatchExactly));
    });
    return combo;
}

QWidget* checkBox(QWidget* parent, Control& c) {
    auto* box = new QCheckBox(qs(c.text()), parent);
    auto update = [box, &c] {
        const QSignalBlocker block(box);
        box->setCheckState(checkState(c.check()));
    };
    mirror(c, update);
    // Only the user's click emits clicked(); states set from code arrive through the Control.
    QObject::connect(box, &QCheckBox::clicked, box, [&c, update] {
        c.click();
        update();
    });
    return box;
}

QWidget* textBox(QWidget* parent, Control& c) {
    auto* edit = new QLineEdit(parent);
    mirror(c, [edit, &c] {
        const QSignalBlocker block(edit);
        edit->setText(qs(c.text()));
    });
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [&c](const QString& t) { c.edit(t.toStdString()); });
    return edit;
}

QWidget* button(QWidget* parent, Control& c, const WidgetOptions& options) {
    auto* b = new QPushButton(qs(c.text()), parent);
    const bool isDefault = c.design().kind == layout::Kind::DefaultButton;
    b->setDefault(isDefault);
    b->setAutoDefault(isDefault);
    QObject::connect(b, &QPushButton::clicked, b,
                     [command = c.design().command, onCommand = options.onCommand] {
                         if (onCommand)
                             onCommand(command);
                     });
    return b;
}

} // namespace

double twipsPerPixel(const QWidget* widget, bool vertical) {
    const QScreen* s = widget->screen();
    const double dpi = s ? (vertical ? s->logicalDotsPerInchY() : s->logicalDotsPerInchX()) : 96;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

QRect pixelRect(const QWidget* widget, const layout::TwipsRect& r) {
    const double tx = twipsPerPixel(widget, false), ty = twipsPerPixel(widget, true);
    return {layout::toPixels(r.left, tx), layout::toPixels(r.top, ty),
            layout::toPixels(r.width, tx), layout::toPixels(r.height, ty)};
}

namespace {

// The widget of a control's kind; nullptr for a line, which the parent paints.
QWidget* widgetFor(QWidget* parent, Control& c, const WidgetOptions& options) {
    switch (c.design().kind) {
    case layout::Kind::FrequencyDisplay:
    case layout::Kind::Caption:
    case layout::Kind::Text:
    case layout::Kind::StatusLine:
        return label(parent, c);
    case layout::Kind::PortList:
        return portList(parent, c, options);
    case layout::Kind::DropDownList:
        return dropDownList(parent, c, options);
    case layout::Kind::Button:
    case layout::Kind::DefaultButton:
    case layout::Kind::CancelButton:
        return button(parent, c, options);
    case layout::Kind::CheckBox:
        return checkBox(parent, c);
    case layout::Kind::TextBox:
        return textBox(parent, c);
    case layout::Kind::Icon: {
        auto* icon = new QLabel(parent);
        icon->setPixmap(options.icon);
        return icon;
    }
    case layout::Kind::Line:
        break;
    }
    return nullptr;
}

// Places the widget as described and mirrors the control's state and context menu.
void fit(QWidget* parent, QWidget* w, Control& c, const WidgetOptions& options) {
    w->setObjectName(QString::fromLatin1(c.name()));
    QRect place = pixelRect(parent, c.design().rect);
    if (c.design().kind == layout::Kind::Icon && !options.icon.isNull())
        place.setSize(options.icon.size()); // the picture box sizes itself to its picture
    w->setGeometry(place);
    if (c.design().font.family) {
        QFont font(QString::fromLatin1(c.design().font.family));
        font.setPointSizeF(c.design().font.points);
        w->setFont(font);
    }
    if (!layout::takesFocus(c.design().kind))
        w->setFocusPolicy(Qt::NoFocus);
    mirror(c, [w, &c] {
        w->setEnabled(c.enabled());
        w->setToolTip(qs(c.toolTip()));
    });
    // Only controls that have a context menu of their own lose the widget's default one.
    if (c.hasContextMenu()) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(w, &QWidget::customContextMenuRequested, w,
                         [&c](const QPoint&) { c.contextMenu(); });
    }
}

} // namespace

void buildControls(QWidget* parent, const layout::WindowSpec& window, ControlSet& controls,
                   const WidgetOptions& options) {
    for (auto& c : controls.all())
        if (QWidget* w = widgetFor(parent, c, options))
            fit(parent, w, c, options);
    QWidget* previous = nullptr;
    for (const auto* design : layout::tabOrder(window)) {
        auto* w = parent->findChild<QWidget*>(QString::fromLatin1(design->name),
                                              Qt::FindDirectChildrenOnly);
        if (previous && w)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void paintLines(QPainter& painter, const QWidget* parent, const layout::WindowSpec& window) {
    for (const auto& c : window.controls) {
        if (c.kind != layout::Kind::Line)
            continue;
        const QRect r = pixelRect(parent, c.rect);
        // A pen wider than a pixel is centred on the line; keep its top edge on the line.
        const int down = c.pen / 2;
        painter.setPen(QPen(QColor::fromRgb(c.rgb), c.pen));
        painter.drawLine(r.left(), r.top() + down, r.right() + 1, r.top() + r.height() + down);
    }
}

} // namespace veltaro::qt
