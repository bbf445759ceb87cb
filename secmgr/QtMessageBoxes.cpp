#include "secmgr/QtMessageBoxes.h"

#include <QMessageBox>

namespace vantrel::secmgr {

namespace {

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtMessageBoxes::Show(const std::string& text, MessageIcon icon, const std::string& title) {
    // Line breaks arrive as carriage return and line feed; a label wants the line feed alone.
    QString shown =
        QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QtIcon(icon), QString::fromStdString(title), shown, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace vantrel::secmgr
