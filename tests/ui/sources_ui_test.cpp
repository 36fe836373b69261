// The front end's part in the network sources: the received-frequency label mirrors the link
// state, and a right click on a network source's box opens the address dialog built from the
// core's description, which refuses a bad address and stores a good one.
#include "ui/support.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace veltaro::test {
namespace {

TEST(SourcesUi, TheLabelShowsTheLinkAndARightClickEditsTheAddress) {
    Station s;
    s.start();
    auto* label = s.child<QLabel>("receivedLabel");
    QTest::mouseClick(s.child<QCheckBox>("hamlibBox"), Qt::LeftButton); // nothing answers
    EXPECT_FALSE(label->isEnabled());
    EXPECT_TRUE(label->toolTip().startsWith("Hamlib")) << label->toolTip().toStdString();
    s.model.controls()["receivedLabel"].setEnabled(true); // as when the link comes up
    EXPECT_TRUE(label->isEnabled());

    QStringList seen; // per step: the dialog's title and whether it stayed open
    const auto rightClick = [&](const char* box, QList<std::pair<QString, const char*>> steps) {
        QTimer::singleShot(0, [&seen, steps] { // from the modal dialog's own event loop
            for (const auto& [text, button] : steps) {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (!dialog)
                    return seen.append("none");
                auto* edit = dialog->findChild<QLineEdit*>("addressText");
                edit->selectAll();
                QTest::keyClicks(edit, text); // typed, as the user does
                QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
                seen << dialog->windowTitle() + (dialog->isVisible() ? " open" : "");
            }
        });
        QWidget* w = s.child<QWidget>(box);
        QContextMenuEvent event(QContextMenuEvent::Mouse, {5, 5}, w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &event);
    };
    rightClick("flrigBox", {{"localhost:99999", "okButton"}, {"10.0.0.7:12346", "okButton"}});
    rightClick("n1mmBox", {{"127.0.0.1:1", "cancelButton"}});
    rightClick("commanderBox", {}); // no address to edit: nothing opens
    EXPECT_EQ(seen, (QStringList{"flrig address open", "flrig address", "N1MM UDP address"}));
    EXPECT_EQ(s.dialogs.messages.size(), 1u);
    EXPECT_EQ(s.settings.values["Veltaro/Addresses/flrig"], "10.0.0.7:12346");
    EXPECT_EQ(s.settings.values.count("Veltaro/Addresses/N1MM"), 0u);
}

} // namespace
} // namespace veltaro::test
