#include "recording_host.h"

namespace tallyrook::test {

namespace {
QString Flag(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}
}  // namespace

QStringList RecordingHost::Calls(const QString& prefix) const {
    QStringList matching;
    for (const QString& call : calls) {
        if (call.startsWith(prefix))
            matching.append(call);
    }
    return matching;
}

QStringList RecordingHost::Messages() const {
    QStringList messages;
    for (const QString& call : Calls(QStringLiteral("message:")))
        messages.append(call.sliced(8));
    return messages;
}

void RecordingHost::Clear() {
    calls.clear();
    polls = events = filesizeReads = 0;
}

bool RecordingHost::ExactFilename() {
    if (logCriteria)
        calls.append(QStringLiteral("filename?"));
    return exactFilename;
}

bool RecordingHost::ExactFilesize() {
    ++filesizeReads;
    if (logCriteria)
        calls.append(QStringLiteral("filesize?"));
    if (onExactFilesize)
        onExactFilesize(filesizeReads);
    return exactFilesize;
}

bool RecordingHost::SimilarFilename() {
    if (logCriteria)
        calls.append(QStringLiteral("similar?"));
    return similarFilename;
}

QStringList RecordingHost::FolderEntries() {
    calls.append(QStringLiteral("entries?"));
    return folderEntries;
}

void RecordingHost::SetCaption(const QString& caption) {
    calls.append(QStringLiteral("caption:") + caption);
}

void RecordingHost::SetProgress(int percent) {
    calls.append(QStringLiteral("progress:") + QString::number(percent));
}

void RecordingHost::SetBusy(bool busy) {
    calls.append(QStringLiteral("busy:") + Flag(busy));
}

void RecordingHost::SetRunning(bool running) {
    calls.append(QStringLiteral("running:") + Flag(running));
}

void RecordingHost::ShowMessage(const QString& text, const QString& title) {
    calls.append(QStringLiteral("message:") + title + u':' + text);
    if (onMessage)
        onMessage(text, title);
}

bool RecordingHost::AskYesNo(const QString& text, const QString& title) {
    calls.append(QStringLiteral("ask:") + title + u':' + text);
    const bool yes = answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    calls.append(yes ? QStringLiteral("answer:yes") : QStringLiteral("answer:no"));
    return yes;
}

bool RecordingHost::ProcessPendingEvents() {
    ++events;
    calls.append(QStringLiteral("events"));
    if (onEvents)
        onEvents(events);
    return abandonAtEvents == 0 || events < abandonAtEvents;
}

void RecordingHost::ClearStopRequest() {
    calls.append(QStringLiteral("clearstop"));
    stopRequested = false;
}

bool RecordingHost::StopRequested() {
    ++polls;
    calls.append(QStringLiteral("stop?"));
    if (onPoll)
        onPoll(polls);
    if (stopAtPoll > 0 && polls >= stopAtPoll)
        stopRequested = true;
    return stopRequested;
}

void RecordingHost::ShowResults() {
    calls.append(QStringLiteral("results"));
}

}  // namespace tallyrook::test
