#pragma once

// Helpers of the window tests: sample Thunderbird folders, waiting for the
// event loop, and answering a chain of modal dialogs in order.

#include "../dialogs/ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

// Processes events until condition holds or timeoutMs passed; returns it.
inline bool WaitFor(const std::function<bool()> &condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A mail folder with the given number of deleted and kept mails, deleted
// ones first; each mail's subject is "Mail <n>".
inline QByteArray MailFolderText(int deleted, int kept)
{
    QByteArray text;
    for (int i = 0; i < deleted + kept; ++i) {
        text += "From - Mon Jan  1 00:00:00 2024\n";
        text += "X-Mozilla-Status: " + QByteArray(i < deleted ? "0009" : "0001") + "\n";
        text += "From: Sender " + QByteArray::number(i + 1) + " <s" + QByteArray::number(i + 1) + "@example.org>\n";
        text += "Subject: Mail " + QByteArray::number(i + 1) + "\n\n";
        text += "Body of mail " + QByteArray::number(i + 1) + "\n\n";
    }
    return text;
}

inline void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct TSampleProfile
{
    QString name;
    QString folder; // relative to the Thunderbird folder
    bool isDefault = false;
};

// profiles.ini in thunderbirdFolder with the profiles, each with a
// "Mail/Local Folders" folder.
inline void WriteProfiles(const QString &thunderbirdFolder, const QList<TSampleProfile> &profiles)
{
    QByteArray ini = "[General]\nStartWithLastProfile=1\n\n";
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        const TSampleProfile &p = profiles[i];
        ini += "[Profile" + QByteArray::number(i) + "]\nName=" + p.name.toUtf8() + "\nIsRelative=1\nPath="
               + p.folder.toUtf8() + "\n" + (p.isDefault ? "Default=1\n" : "") + "\n";
        QDir().mkpath(thunderbirdFolder + QStringLiteral("/") + p.folder + QStringLiteral("/Mail/Local Folders"));
    }
    WriteBytes(thunderbirdFolder + QStringLiteral("/profiles.ini"), ini);
}

// Answers modal dialogs one after the other: each step waits for a modal
// dialog of its object name and acts on it. Answered() counts the steps done.
class TModalScript
{
public:
    using TAction = std::function<void(QWidget *)>;

    TModalScript &Then(const QString &objectName, TAction action)
    {
        FSteps->push_back({objectName, std::move(action)});
        return *this;
    }
    void Start() { Next(FSteps, FDone, FTexts); }
    int Answered() const { return *FDone; }
    // Texts of the dialogs in the order they were answered.
    QStringList Texts() const { return *FTexts; }

private:
    struct TStep
    {
        QString objectName;
        TAction action;
    };
    static void Next(std::shared_ptr<std::deque<TStep>> steps, std::shared_ptr<int> done,
                     std::shared_ptr<QStringList> texts)
    {
        if (steps->empty())
            return;
        TStep step = steps->front();
        steps->pop_front();
        AnswerModal(step.objectName, [steps, done, texts, step](QWidget *dialog) {
            texts->append(DialogText(dialog));
            ++*done;
            // The answer hides the dialog, so the next step cannot mistake
            // it for the next one (the choice dialog is reused).
            step.action(dialog);
            Next(steps, done, texts);
        });
    }
    static QString DialogText(QWidget *dialog)
    {
        if (auto *caption = dialog->findChild<QLabel *>(QStringLiteral("stCaption")))
            return caption->text();
        if (auto *label = dialog->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
            return label->text();
        return dialog->objectName();
    }

    std::shared_ptr<std::deque<TStep>> FSteps = std::make_shared<std::deque<TStep>>();
    std::shared_ptr<int> FDone = std::make_shared<int>(0);
    std::shared_ptr<QStringList> FTexts = std::make_shared<QStringList>();
};

// Clicks the child button of that object name.
inline TModalScript::TAction ClickChild(const QString &buttonName)
{
    return [buttonName](QWidget *dialog) {
        auto *button = dialog->findChild<QAbstractButton *>(buttonName);
        ASSERT_NE(button, nullptr) << buttonName.toStdString();
        button->click();
    };
}

// Presses a key in the dialog.
inline TModalScript::TAction Press(int key)
{
    return [key](QWidget *dialog) { PressKey(dialog, key); };
}
