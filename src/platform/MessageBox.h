// The message-box seam: every user message goes through one interface so that windows show a
// dialog, tests record it and headless runs print it.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace ostrel {

enum class MessageIcon
{
    None,
    Information,
    Warning,
    Error,
    Question
};

enum class MessageButtons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel
};

enum class MessageAnswer
{
    Ok,
    Cancel,
    Yes,
    No
};

class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                      MessageIcon icon, MessageButtons buttons) = 0;

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption = "Ostrel",
                              MessageIcon icon = MessageIcon::None)
    {
        return ShowMessage(text, caption, icon, MessageButtons::Ok);
    }
};

// The answer a box gives without a user: Ok, else Yes.
MessageAnswer defaultAnswer(MessageButtons buttons);

// Headless: one line on stderr "caption: text" and the default answer.
class StderrMessageSink final : public MessageSink
{
public:
    using MessageSink::ShowMessage;
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override;
};

// For tests: records every message and answers with the queued answers, then the default.
class RecordingMessageSink final : public MessageSink
{
public:
    struct Message
    {
        std::string text;
        std::string caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    using MessageSink::ShowMessage;
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override;

    void setNextAnswer(MessageAnswer answer);
    std::vector<Message> messages() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::vector<MessageAnswer> m_answers;
};

} // namespace ostrel
