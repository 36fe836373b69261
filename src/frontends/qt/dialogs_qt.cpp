#include "frontends/qt/dialogs_qt.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace veltaro::qt {

void QtDialogs::messageBox(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void QtDialogs::postMessage(const std::string& text, const std::string& caption) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, text, caption] {
            if (!ending_)
                messageBox(text, caption);
        },
        Qt::QueuedConnection);
}

} // namespace veltaro::qt
