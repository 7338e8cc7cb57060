// Every modal message of the tool goes through here.
//
// ShowMessage: the plain message box with the text alone (timeouts,
// refused input). ShowErrorReport: the application's error report for errors
// that leave a handler: error icon, the application's title as caption, and a
// full stop added when the text's last character sorts after "."; it may
// carry details, shown in smaller type beneath the text. ShowInformation:
// information icon, the application's title as caption, the text as given.
//
// Ask: a question with the application's title as caption, the buttons given
// (QMessageBox::StandardButtons) and details behind the box's details
// button; gives the button pressed.
//
// A MessageCapture object, while it exists, records the messages instead of
// showing them, so tests never block on a dialog; a question is answered
// with the next answer queued on it, else with its default button.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

namespace ortiva {

inline constexpr const char* kApplicationTitle = "Ortiva";

// The text the error report shows for a message: "." appended when the last
// character sorts after "." (an empty text stays empty).
QString WithFullStop(const QString& text);

void ShowMessage(const QString& text);
void ShowMessage(const std::string& latin1);  // one character per byte
void ShowErrorReport(const QString& text);
void ShowErrorReport(const std::string& latin1);
void ShowErrorReport(const std::string& latin1, const QString& details);
void ShowInformation(const QString& text);
int Ask(const QString& text, const QString& details, int buttons, int defaultButton);

struct RecordedMessage {
    enum class Kind { Plain, Error, Information, Question };
    Kind kind;
    QString caption;
    QString text;     // as shown, full stop included
    QString details;  // shown beneath the text; empty for none
};

class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const std::vector<RecordedMessage>& Messages() const { return messages_; }
    // The texts shown so far, in order.
    QStringList Texts() const;
    void Clear() { messages_.clear(); }
    void Record(RecordedMessage m) { messages_.push_back(std::move(m)); }
    // The answer to the next question asked (a QMessageBox::StandardButton).
    void QueueAnswer(int button) { answers_.push_back(button); }
    int NextAnswer(int defaultButton);
    // The innermost capture, or null when messages are shown.
    static MessageCapture* Active();

private:
    std::vector<RecordedMessage> messages_;
    std::vector<int> answers_;
    MessageCapture* previous_;
};

// Shows the exception being handled (call only inside a catch block) with the
// error report: conversion and input errors, serial port errors, and any other
// std::exception as a last resort.
void ReportCurrentException();

// Runs a handler body; an error that leaves it is shown by the error report
// and the program goes on.
template <class F>
void Guarded(F&& f)
{
    try {
        std::forward<F>(f)();
    } catch (...) {
        ReportCurrentException();
    }
}

}  // namespace ortiva
