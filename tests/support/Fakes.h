#pragma once

// Recording stand-ins for the platform services that reach outside the process.

#include "platform/Dialogs.h"
#include "platform/KeystrokeSender.h"
#include "platform/ProcessTable.h"
#include "platform/Shell.h"
#include "platform/SingleInstance.h"
#include "platform/Volumes.h"

#include <QList>
#include <QSet>
#include <QStringList>

namespace fakes {

class FakeShell : public platform::Shell {
public:
    bool start(const platform::ProgramStart& s) override {
        started.append(s);
        return true;
    }
    bool open(const QString& target) override {
        opened.append(target);
        return openResult;
    }
    QList<platform::ProgramStart> started;
    QStringList opened;
    bool openResult = true;
};

class FakeProcessTable : public platform::ProcessTable {
public:
    bool isRunning(const QString& exeName) override {
        queries.append(exeName);
        return running.contains(exeName.toLower());
    }
    int terminate(const QString& exeName) override {
        return running.remove(exeName.toLower()) ? 1 : 0;
    }
    QSet<QString> running;  // lower-case names
    QStringList queries;
};

// Answers from queues; records every question. An empty queue answers OK / cancel.
class FakeDialogs : public platform::Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        platform::MessageButtons buttons = platform::MessageButtons::Ok;
        platform::MessageIcon icon = platform::MessageIcon::None;
    };
    platform::MessageAnswer messageBox(const QString& text, platform::MessageButtons buttons,
                                       platform::MessageIcon icon, const QString& title) override {
        messages.append({text, title, buttons, icon});
        return messageAnswers.isEmpty() ? platform::MessageAnswer::Ok : messageAnswers.takeFirst();
    }
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override {
        inputs.append({prompt, title});
        inputDefaults.append(defaultText);
        return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
    }
    std::optional<QString> pickFolder(const QString& title, const QString& start) override {
        folderPicks.append({title, start});
        return folderAnswers.isEmpty() ? std::nullopt : folderAnswers.takeFirst();
    }
    QList<Message> messages, inputs, folderPicks;
    QStringList inputDefaults;
    QList<platform::MessageAnswer> messageAnswers;
    QList<std::optional<QString>> inputAnswers, folderAnswers;
};

class FakeKeystrokeSender : public platform::KeystrokeSender {
public:
    bool send(const QString& keys) override {
        sent.append(keys);
        return true;
    }
    QStringList sent;
};

class FakeVolumes : public platform::Volumes {
public:
    QStringList roots() override { return rootList; }
    QString rootOf(const QString& path) override {
        QString best;
        for (const QString& r : rootList)
            if (path.startsWith(r) && r.size() > best.size()) best = r;
        return best;
    }
    QStringList rootList{QStringLiteral("/")};
};

class FakeSingleInstance : public platform::SingleInstance {
public:
    bool anotherIsRunning(const QString& caption) override {
        askedWith.append(caption);
        return otherRunning;
    }
    void listen(std::function<void(const QString&)> h) override { handler = std::move(h); }
    bool otherRunning = false;
    QStringList askedWith;
    std::function<void(const QString&)> handler;
};

}  // namespace fakes
