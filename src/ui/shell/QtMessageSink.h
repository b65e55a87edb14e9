// The message box of the desktop program: a QMessageBox with the caption, icon and buttons
// each message asks for, shown on the user-interface thread whichever thread asks.
#pragma once

#include "eventloop/EventLoopCalls.h"
#include "platform/MessageBox.h"

#include <QObject>

class QWidget;

namespace ostrel {

class QtMessageSink final : public QObject, public MessageSink
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtMessageSink)

public:
    // Lives on the calling thread, which must be the user-interface thread.
    explicit QtMessageSink(QObject* parent = nullptr);

    using MessageSink::ShowMessage;
    // From another thread the caller waits until the user answered; it must hold no lock
    // that the user-interface thread could be waiting for.
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override;

private:
    MessageAnswer showHere(const std::string& text, const std::string& caption, MessageIcon icon,
                           MessageButtons buttons);

    EventLoopCalls m_calls;
};

} // namespace ostrel
