#pragma once

// orvanne-flash as a production line calls it: a subprocess flashing
// simulated chips on pseudo-terminals, judged by what the chips received, its
// exit status, what it printed and what it recorded.
#include "simulator/ChipSimulator.h"
#include "tests/support/ImageFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

class OrvanneFlash : public testing::Test
{
protected:
    // Two blocks, the second one short: each run costs the chip's pauses.
    OrvanneFlash() : image(files.image.begin(), files.image.end()) {}

    void addChips(std::size_t count, ChipBehaviour behaviour = {})
    {
        for (std::size_t i = 0; i < count; ++i)
            chips.push_back(std::make_unique<ChipSimulator>(behaviour));
    }

    QStringList portOptions() const
    {
        QStringList options;
        for (const auto& chip : chips)
            options << "--port" << QString::fromStdString(chip->slavePath());
        return options;
    }

    static Outcome run(const QStringList& arguments, const std::function<void()>& inChild = {})
    {
        QProcess process;
        if (inChild)
            process.setChildProcessModifier(inChild);
        process.start(ORVANNE_FLASH, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    // The record's lines, each split into its fields as CSV reads them.
    static std::vector<QStringList> recordRows(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        static const QRegularExpression field(R"re((?:"((?:[^"]|"")*)"|([^,]*))(?:,|$))re");
        std::vector<QStringList> rows;
        for (const QString& line : QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts)) {
            QStringList fields;
            for (auto match = field.globalMatch(line); match.hasNext();) {
                const QRegularExpressionMatch next = match.next();
                fields.append(next.hasCaptured(1) ? next.captured(1).replace("\"\"", "\"") : next.captured(2));
                if (!next.captured(0).endsWith(','))
                    break;
            }
            rows.push_back(fields);
        }
        return rows;
    }

    const ImageFolder files{300};
    const QString imagePath = files.imagePath;
    const std::vector<std::uint8_t> image;
    std::vector<std::unique_ptr<ChipSimulator>> chips;
};
