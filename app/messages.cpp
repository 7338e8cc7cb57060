#include "messages.h"

#include "convert.h"
#include "tcomm.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

#include <exception>

namespace ortiva {

namespace {
MessageCapture* g_capture = nullptr;

QString Title() { return QString::fromLatin1(kApplicationTitle); }

void Show(RecordedMessage m)
{
    if (g_capture) {
        g_capture->Record(std::move(m));
        return;
    }
    const QMessageBox::Icon icon = m.kind == RecordedMessage::Kind::Error         ? QMessageBox::Critical
                                   : m.kind == RecordedMessage::Kind::Information ? QMessageBox::Information
                                                                                  : QMessageBox::NoIcon;
    QMessageBox box(icon, m.caption, m.text, QMessageBox::Ok, QApplication::activeWindow());
    box.setInformativeText(m.details);
    box.setTextFormat(Qt::PlainText);  // also for the details
    box.exec();
}
}  // namespace

int Ask(const QString& text, const QString& details, int buttons, int defaultButton)
{
    if (g_capture) {
        g_capture->Record({RecordedMessage::Kind::Question, Title(), text, details});
        return g_capture->NextAnswer(defaultButton);
    }
    QMessageBox box(QMessageBox::Question, Title(), text, QMessageBox::StandardButtons(buttons),
                    QApplication::activeWindow());
    box.setDetailedText(details);  // behind "Show Details...": it may be long
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::StandardButton(defaultButton));
    return box.exec();
}

int MessageCapture::NextAnswer(int defaultButton)
{
    if (answers_.empty()) return defaultButton;
    const int answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
}

MessageCapture* MessageCapture::Active() { return g_capture; }

QString WithFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) return text + QLatin1Char('.');
    return text;
}

void ShowMessage(const QString& text) { Show({RecordedMessage::Kind::Plain, Title(), text, {}}); }

void ShowMessage(const std::string& latin1)
{
    ShowMessage(QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())));
}

void ShowErrorReport(const QString& text) { Show({RecordedMessage::Kind::Error, Title(), WithFullStop(text), {}}); }

void ShowErrorReport(const std::string& latin1)
{
    ShowErrorReport(QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())));
}

void ShowErrorReport(const std::string& latin1, const QString& details)
{
    Show({RecordedMessage::Kind::Error, Title(),
          WithFullStop(QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()))), details});
}

void ShowInformation(const QString& text) { Show({RecordedMessage::Kind::Information, Title(), text, {}}); }

MessageCapture::MessageCapture() : previous_(g_capture) { g_capture = this; }

MessageCapture::~MessageCapture() { g_capture = previous_; }

QStringList MessageCapture::Texts() const
{
    QStringList out;
    for (const auto& m : messages_) out << m.text;
    return out;
}

void ReportCurrentException()
{
    try {
        throw;
    } catch (const EConvertError& e) {
        ShowErrorReport(std::string(e.what()));
    } catch (const EInputError& e) {
        ShowErrorReport(std::string(e.what()));
    } catch (const ECommsError& e) {
        ShowErrorReport(std::string(e.what()));
    } catch (const std::exception& e) {
        ShowErrorReport(std::string(e.what()));
    } catch (...) {
        ShowErrorReport(QStringLiteral("Unexpected error"));
    }
}

}  // namespace ortiva
