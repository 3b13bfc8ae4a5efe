#pragma once

#include <QString>
#include <functional>
#include <optional>

// What a message box asks of the user; text and title exactly as the window gives them.
struct Message {
    enum class Buttons { Ok, YesNo };
    enum class Icon { None, Exclamation, Question };

    QString text;
    QString title = QString(); // empty: the application title
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    bool secondButtonDefault = false; // "No" preselected in a Yes/No question
};

enum class Answer { Ok = 1, Yes = 6, No = 7 };

// The one way every window talks to the user in a box. Tests replace it with a scripted one.
class MessageService {
  public:
    virtual ~MessageService() = default;
    virtual Answer show(const Message& message) = 0;
    // An input box: nullopt when the user cancels.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& defaultText) = 0;

    // A plain message: OK only, no icon, the application title.
    void tell(const QString& text) { show(Message{text}); }
    // A Yes/No question with No preselected and no icon (the style the windows use).
    bool askYesNoDefaultNo(const QString& text, const QString& title) {
        Message m{text, title, Message::Buttons::YesNo, Message::Icon::None, true};
        return show(m) == Answer::Yes;
    }
};

// Message boxes and input boxes on the screen. Every text and title they show passes through
// the cleaner first; whoever makes them gives the one that masks a server address's secrets.
class DialogMessages : public MessageService {
  public:
    using TextCleaner = std::function<QString(const QString& text)>;
    explicit DialogMessages(TextCleaner clean) : m_clean(std::move(clean)) {}

    Answer show(const Message& message) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;

  private:
    QString forDisplay(const QString& text) const;

    TextCleaner m_clean;
};
