#include "reg_text.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>
#include <vector>

namespace karvel {

namespace {

const QString kHeader5 = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kHeader4 = QStringLiteral("REGEDIT4");
const QString kUserHive = QStringLiteral("HKEY_CURRENT_USER\\");

struct TLine {
    int number;
    QString text;
};

// Splits into lines, decoding each; a byte sequence that is not UTF-8 is reported on
// the line where it stands.
bool DecodeLines(const QByteArray& bytes, std::vector<TLine>& lines, TRegParse& result)
{
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        text = decoder.decode(bytes.mid(2));
        if (decoder.hasError() || bytes.size() % 2 != 0) {
            result.errorLine = 1;
            result.error = QStringLiteral("текст UTF-16 поврежден");
            return false;
        }
    } else {
        const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        const QList<QByteArray> raw = body.split('\n');
        for (qsizetype i = 0; i < raw.size(); ++i) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            QString line = decoder.decode(raw[i]);
            if (decoder.hasError()) {
                result.errorLine = static_cast<int>(i + 1);
                result.error = QStringLiteral("недопустимая последовательность UTF-8");
                return false;
            }
            if (line.endsWith(u'\r'))
                line.chop(1);
            lines.push_back({static_cast<int>(i + 1), line});
        }
        return true;
    }
    const QStringList raw = text.split(u'\n');
    for (qsizetype i = 0; i < raw.size(); ++i) {
        QString line = raw[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        lines.push_back({static_cast<int>(i + 1), line});
    }
    return true;
}

// Reads a quoted text starting at `pos` (on the opening quote); leaves `pos` after the
// closing quote.
std::optional<QString> ReadQuoted(const QString& s, qsizetype& pos)
{
    if (pos >= s.size() || s[pos] != u'"')
        return std::nullopt;
    QString out;
    for (++pos; pos < s.size(); ++pos) {
        const QChar c = s[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\') {
            if (++pos >= s.size())
                return std::nullopt;
            out.append(s[pos]);
            continue;
        }
        out.append(c);
    }
    return std::nullopt;
}

QString SectionPath(const QString& section)
{
    QString path = section.startsWith(kUserHive, Qt::CaseInsensitive)
        ? section.mid(kUserHive.size())
        : section;
    return path.replace(u'\\', u'/');
}

// One `"name"=value` line inside a section.
bool ParseValue(const QString& line, const QString& section, TRegParse& result, int number)
{
    auto fail = [&](const QString& why) {
        result.errorLine = number;
        result.error = why;
        return false;
    };
    qsizetype pos = 0;
    QString name;
    if (line.startsWith(u'@')) {
        name = QStringLiteral("@");
        pos = 1;
    } else {
        const auto quoted = ReadQuoted(line, pos);
        if (!quoted)
            return fail(QStringLiteral("ожидалось имя значения в кавычках"));
        name = *quoted;
    }
    if (name.isEmpty() || name.contains(u'/'))
        return fail(QStringLiteral("недопустимое имя значения"));
    if (pos >= line.size() || line[pos] != u'=')
        return fail(QStringLiteral("ожидался знак \"=\""));
    ++pos;
    QVariant value;
    if (pos < line.size() && line[pos] == u'"') {
        const auto text = ReadQuoted(line, pos);
        if (!text)
            return fail(QStringLiteral("строка не закрыта кавычкой"));
        value = *text;
    } else if (line.mid(pos, 6).compare(QStringLiteral("dword:"), Qt::CaseInsensitive) == 0) {
        pos += 6;
        qsizetype end = pos;
        while (end < line.size() && end - pos < 9 &&
               QStringLiteral("0123456789abcdefABCDEF").contains(line[end]))
            ++end;
        bool ok = false;
        const uint32_t bits = line.mid(pos, end - pos).toUInt(&ok, 16);
        if (!ok || end == pos || end - pos > 8)
            return fail(QStringLiteral("неверное значение dword"));
        value = static_cast<qint32>(bits);
        pos = end;
    } else {
        return fail(QStringLiteral("неподдерживаемый тип значения"));
    }
    if (!line.mid(pos).trimmed().isEmpty())
        return fail(QStringLiteral("лишний текст после значения"));
    const QString path = SectionPath(section) + u'/' + name;
    if (!result.values.contains(path))
        result.order.append(path);
    result.values.insert(path, value);
    return true;
}

} // namespace

TRegParse ParseRegText(const QByteArray& bytes)
{
    TRegParse result;
    std::vector<TLine> lines;
    if (!DecodeLines(bytes, lines, result))
        return result;
    bool headerSeen = false;
    QString section;
    for (const TLine& line : lines) {
        const QString text = line.text.trimmed();
        if (text.isEmpty() || text.startsWith(u';'))
            continue;
        if (!headerSeen) {
            if (text != kHeader5 && text != kHeader4) {
                result.errorLine = line.number;
                result.error = QStringLiteral("нет заголовка \"%1\"").arg(kHeader5);
                return result;
            }
            headerSeen = true;
            continue;
        }
        if (text.startsWith(u'[')) {
            if (!text.endsWith(u']') || text.size() < 3 || text[1] == u'-') {
                result.errorLine = line.number;
                result.error = QStringLiteral("неверное имя раздела");
                return result;
            }
            section = text.mid(1, text.size() - 2);
            continue;
        }
        if (section.isEmpty()) {
            result.errorLine = line.number;
            result.error = QStringLiteral("значение вне раздела");
            return result;
        }
        if (!ParseValue(text, section, result, line.number))
            return result;
    }
    if (!headerSeen && !lines.empty() && !bytes.trimmed().isEmpty()) {
        result.errorLine = 1;
        result.error = QStringLiteral("нет заголовка \"%1\"").arg(kHeader5);
    }
    return result;
}

namespace {

QString Quote(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out.append(u'\\');
        out.append(c);
    }
    out.append(u'"');
    return out;
}

std::optional<QString> ValueText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString s = value.toString();
        if (s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(0)))
            return std::nullopt;
        return Quote(s);
    }
    case QMetaType::Bool:
        return QStringLiteral("dword:%1").arg(value.toBool() ? 1 : 0, 8, 16, QChar(u'0'));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar: {
        const qlonglong v = value.toLongLong();
        if (v < INT32_MIN || v > UINT32_MAX)
            return std::nullopt;
        return QStringLiteral("dword:%1").arg(static_cast<quint32>(v), 8, 16, QChar(u'0'));
    }
    default:
        return std::nullopt;
    }
}

} // namespace

bool WriteRegText(const TRegMap& values, const std::function<int(const QString&)>& rank,
                  QByteArray& out)
{
    struct TEntry {
        QString section;
        QString name;
        int rank;
        QString text;
    };
    std::vector<TEntry> entries;
    QMap<QString, int> sectionRank;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const qsizetype slash = it.key().lastIndexOf(u'/');
        if (slash <= 0)
            return false; // a value outside any key
        const auto text = ValueText(it.value());
        if (!text)
            return false;
        TEntry e {it.key().left(slash), it.key().mid(slash + 1), rank(it.key()), *text};
        auto found = sectionRank.find(e.section);
        if (found == sectionRank.end())
            sectionRank.insert(e.section, e.rank);
        else
            *found = std::min(*found, e.rank);
        entries.push_back(std::move(e));
    }
    std::stable_sort(entries.begin(), entries.end(), [&](const TEntry& a, const TEntry& b) {
        const int sa = sectionRank.value(a.section), sb = sectionRank.value(b.section);
        if (sa != sb)
            return sa < sb;
        if (a.section != b.section)
            return a.section < b.section;
        return a.rank < b.rank;
    });
    QString text = kHeader5 + QStringLiteral("\n");
    QString current;
    for (const TEntry& e : entries) {
        if (e.section != current || (&e == &entries.front())) {
            current = e.section;
            QString key = current;
            key.replace(u'/', u'\\');
            if (!key.startsWith(QStringLiteral("HKEY_"), Qt::CaseInsensitive))
                key.prepend(kUserHive);
            text += QStringLiteral("\n[") + key + QStringLiteral("]\n");
        }
        text += (e.name == QStringLiteral("@") ? QStringLiteral("@") : Quote(e.name)) + u'=' +
            e.text + u'\n';
    }
    out = text.toUtf8();
    return true;
}

} // namespace karvel
