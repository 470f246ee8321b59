#pragma once

// Writes realistic Thunderbird mbox folders of a given size: mails with the
// usual headers, text bodies and base64 attachments, about one in ten marked
// as deleted, with LF or CR LF line ends. Deterministic for a given seed.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <random>
#include <vector>

struct TMailFolderStats
{
    qint64 Mails = 0;
    qint64 Deleted = 0;
    qint64 Bytes = 0;
};

class TMailFolderGenerator
{
public:
    explicit TMailFolderGenerator(bool crlf, quint64 seed = 20241210) : FRandom(seed), FBreak(crlf ? "\r\n" : "\n")
    {
        static const char *const words[] = {"the", "mail", "folder", "meeting", "invoice", "please", "regards",
                                            "tomorrow", "project", "report", "thanks", "attached", "review",
                                            "schedule", "budget", "question", "answer", "update", "team", "a",
                                            "of", "and", "to", "in", "for", "on", "with", "we", "you", "it"};
        for (int i = 0; i < 512; ++i) {
            QByteArray line;
            const int length = 20 + int(FRandom() % 58);
            while (line.size() < length) {
                if (!line.isEmpty())
                    line.append(' ');
                line.append(words[FRandom() % (sizeof words / sizeof *words)]);
            }
            FTextLines.push_back(line);
            QByteArray b64(76, 'A');
            static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
            for (char &c : b64)
                c = alphabet[FRandom() % 64];
            FBase64Lines.push_back(b64);
        }
    }

    // Writes mails until the file holds at least size bytes.
    TMailFolderStats Write(const QString &fileName, qint64 size)
    {
        TMailFolderStats stats;
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return stats;
        QByteArray chunk;
        chunk.reserve(8 << 20);
        while (stats.Bytes + chunk.size() < size) {
            AppendMail(chunk, stats);
            if (chunk.size() >= (4 << 20)) {
                stats.Bytes += file.write(chunk);
                chunk.clear();
            }
        }
        stats.Bytes += file.write(chunk);
        return stats;
    }

private:
    void Line(QByteArray &out, const QByteArray &text) { out.append(text).append(FBreak); }

    void AppendMail(QByteArray &out, TMailFolderStats &stats)
    {
        const qint64 n = stats.Mails++;
        const bool deleted = FRandom() % 10 == 0;
        stats.Deleted += deleted;
        static const char *const flags[] = {"0001", "0000", "0011", "0003", "1001"};
        static const char *const deletedFlags[] = {"0009", "0008", "0019", "000b", "1009"};
        const char *status = deleted ? deletedFlags[FRandom() % 5] : flags[FRandom() % 5];
        const QByteArray id = QByteArray::number(n);
        Line(out, "From - Mon Dec  9 10:" + QByteArray::number(10 + n % 50) + ":00 2024");
        Line(out, QByteArray("X-Mozilla-Status: ") + status);
        Line(out, "X-Mozilla-Status2: 00000000");
        Line(out, "X-Mozilla-Keys:                                                                                 ");
        Line(out, "Return-Path: <sender" + id + "@example.org>");
        for (int r = 0; r < 3; ++r)
            Line(out, "Received: from mx" + QByteArray::number(r) + ".example.org (mx.example.org [192.0.2."
                          + QByteArray::number(r + 1) + "]) by mail.example.net; Mon, 9 Dec 2024 10:00:0"
                          + QByteArray::number(r) + " +0100");
        Line(out, "Date: Mon, 9 Dec 2024 10:00:00 +0100");
        Line(out, "From: Sender " + id + " <sender" + id + "@example.org>");
        Line(out, "To: Demo <demo@example.net>");
        Line(out, "Subject: " + FTextLines[size_t(FRandom() % FTextLines.size())]);
        Line(out, "Message-ID: <" + id + ".mail@example.org>");
        Line(out, "MIME-Version: 1.0");
        Line(out, "Content-Type: text/plain; charset=UTF-8; format=flowed");
        Line(out, "");
        const int bodyLines = 5 + int(FRandom() % 60);
        for (int i = 0; i < bodyLines; ++i)
            Line(out, FTextLines[size_t(FRandom() % FTextLines.size())]);
        if (FRandom() % 8 == 0) { // an attachment of 4 to 100 KiB
            const int lines = 54 + int(FRandom() % 1300);
            Line(out, "");
            for (int i = 0; i < lines; ++i)
                Line(out, FBase64Lines[size_t(FRandom() % FBase64Lines.size())]);
        }
        Line(out, "");
    }

    std::mt19937_64 FRandom;
    QByteArray FBreak;
    std::vector<QByteArray> FTextLines;
    std::vector<QByteArray> FBase64Lines;
};
