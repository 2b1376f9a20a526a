#include "account_journal.h"

#include "durable_file.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <optional>

namespace karvel {

namespace {

// One entry per line, UTF-8: seq, line, NetNum, Count_C, Count_D, product, checksum,
// separated by tabs. Numbers keep every bit of the doubles.
QString Escape(const QString& text)
{
    QString out;
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString Unescape(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        out += next == u't' ? QChar(u'\t')
            : next == u'n'  ? QChar(u'\n')
            : next == u'r'  ? QChar(u'\r')
                            : next;
    }
    return out;
}

QByteArray Record(uint64_t seq, const TBookedChange& c)
{
    const QByteArray body = QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                                .arg(seq)
                                .arg(c.line)
                                .arg(c.netNum)
                                .arg(QString::number(c.countC, 'g', 17),
                                     QString::number(c.countD, 'g', 17), Escape(c.product))
                                .toUtf8();
    return body + '\t' + QByteArray::number(qChecksum(body), 16) + '\n';
}

std::optional<std::pair<uint64_t, TBookedChange>> ParseRecord(const QByteArray& line)
{
    const qsizetype tab = line.lastIndexOf('\t');
    if (tab < 0)
        return std::nullopt;
    const QByteArray body = line.left(tab);
    bool ok = false;
    if (line.mid(tab + 1).toUShort(&ok, 16) != qChecksum(body) || !ok)
        return std::nullopt;
    const QStringList f = QString::fromUtf8(body).split(u'\t');
    if (f.size() != 6)
        return std::nullopt;
    TBookedChange c;
    bool okSeq = false, okLine = false, okNet = false, okC = false, okD = false;
    const uint64_t seq = f[0].toULongLong(&okSeq);
    c.line = f[1].toInt(&okLine);
    c.netNum = static_cast<uint8_t>(f[2].toUInt(&okNet));
    c.countC = f[3].toDouble(&okC);
    c.countD = f[4].toDouble(&okD);
    c.product = Unescape(f[5]);
    if (!(okSeq && okLine && okNet && okC && okD))
        return std::nullopt;
    return std::make_pair(seq, c);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TAccountJournal::TAccountJournal(const QString& dir)
    : path_(QDir(dir).filePath(QString::fromLatin1(kFileName))),
      donePath_(QDir(dir).filePath(QString::fromLatin1(kDoneFileName)))
{
    Load();
}

void TAccountJournal::Load()
{
    const uint64_t done = ReadFile(donePath_).trimmed().toULongLong();
    nextSeq_ = done + 1;
    const QByteArray text = ReadFile(path_);
    QByteArray sound;
    for (const QByteArray& line : text.split('\n')) {
        // A line cut short by a crash during its append has no line end and no valid
        // checksum: it was never reported as kept, so it is dropped.
        const auto entry = ParseRecord(line);
        if (!entry)
            continue;
        sound += line + '\n';
        nextSeq_ = std::max(nextSeq_, entry->first + 1);
        if (entry->first > done)
            pending_.push_back({entry->first, entry->second});
    }
    if (sound != text)
        DurableReplace(path_, sound); // so that the next append starts on a line of its own
}

bool TAccountJournal::Append(const TBookedChange& change)
{
    const uint64_t seq = nextSeq_++;
    pending_.push_back({seq, change});
    return DurableAppend(path_, Record(seq, change));
}

bool TAccountJournal::PopFront()
{
    if (pending_.empty())
        return true;
    const uint64_t seq = pending_.front().seq;
    pending_.pop_front();
    if (!pending_.empty())
        return DurableReplace(donePath_, QByteArray::number(static_cast<qulonglong>(seq)) + '\n');
    // All done: the journal goes; the done mark goes after it, so a crash in between
    // leaves no entry to send again.
    return DurableRemove(path_) && DurableRemove(donePath_);
}

} // namespace karvel
