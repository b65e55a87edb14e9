#include "ui/shell/QtMessageSink.h"

#include "platform/CodePage.h"
#include "ui/shell/ProgramIcon.h"

#include <QMessageBox>

namespace ostrel {
namespace {

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

MessageAnswer answerOf(int button, MessageButtons buttons)
{
    switch (button) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        // Closed by the window's close button: what Escape would answer.
        return buttons == MessageButtons::Ok      ? MessageAnswer::Ok
               : buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                  : MessageAnswer::Cancel;
    }
}

} // namespace

QtMessageSink::QtMessageSink(QObject* parent) : QObject(parent) {}

MessageAnswer QtMessageSink::ShowMessage(const std::string& text, const std::string& caption,
                                         MessageIcon icon, MessageButtons buttons)
{
    MessageAnswer answer = defaultAnswer(buttons);
    m_calls.postAndWait([&] { answer = showHere(text, caption, icon, buttons); });
    return answer;
}

MessageAnswer QtMessageSink::showHere(const std::string& text, const std::string& caption,
                                      MessageIcon icon, MessageButtons buttons)
{
    // Message texts are byte texts in the settings' code page.
    QMessageBox box(boxIcon(icon), QString::fromStdString(codePageToUtf8(caption)),
                    QString::fromStdString(codePageToUtf8(text)), boxButtons(buttons));
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowIcon(programIcon());
    return answerOf(box.exec(), buttons);
}

} // namespace ostrel
