#include "platform/MessageBox.h"

#include <cstdio>

namespace ostrel {

MessageAnswer defaultAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Yes;
    }
    return MessageAnswer::Ok;
}

MessageAnswer StderrMessageSink::ShowMessage(const std::string& text, const std::string& caption,
                                             MessageIcon /*icon*/, MessageButtons buttons)
{
    const std::string line = caption + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return defaultAnswer(buttons);
}

MessageAnswer RecordingMessageSink::ShowMessage(const std::string& text, const std::string& caption,
                                                MessageIcon icon, MessageButtons buttons)
{
    const std::lock_guard lock(m_mutex);
    m_messages.push_back(Message{text, caption, icon, buttons});
    if (m_answers.empty()) {
        return defaultAnswer(buttons);
    }
    const MessageAnswer answer = m_answers.front();
    m_answers.erase(m_answers.begin());
    return answer;
}

void RecordingMessageSink::setNextAnswer(MessageAnswer answer)
{
    const std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<RecordingMessageSink::Message> RecordingMessageSink::messages() const
{
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

void RecordingMessageSink::clear()
{
    const std::lock_guard lock(m_mutex);
    m_messages.clear();
    m_answers.clear();
}

} // namespace ostrel
