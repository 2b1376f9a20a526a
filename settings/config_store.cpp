#include "config_store.h"

#include "reg_format.h"
#include "reg_text.h"
#include "step_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace karvel {

namespace {

QString ValuePath(const QString& key, const QString& name)
{
    QString path = key;
    path.replace(u'\\', u'/');
    return path + u'/' + name;
}

QString MissingText(const QString& key, const QString& name)
{
    return QStringLiteral("Значение \"%1\" в разделе \"%2\" отсутствует").arg(name, key);
}

QString WrongTypeText(const QString& key, const QString& name)
{
    return QStringLiteral("Неверный тип данных значения \"%1\" в разделе \"%2\"").arg(name, key);
}

} // namespace

QString TConfigStore::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/Vistam/Karvel_net.reg"));
}

TConfigStore::TConfigStore(QString path) : path_(QFileInfo(path).absoluteFilePath())
{
    CheckFile();
    settings_ = std::make_unique<QSettings>(path_, RegFormat());
    if (settings_->status() != QSettings::NoError)
        ThrowOpenError();
}

// QSettings reports a faulty file only when it reads it, not when it serves the file
// from its cache, and it would write its values over such a file. So the file is checked
// here on every open and before every write.
void TConfigStore::CheckFile() const
{
    QFile file(path_);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw TStepError(QStringLiteral("Нет доступа к файлу настроек \"%1\"").arg(path_));
    const TRegParse parsed = ParseRegText(file.readAll());
    if (!parsed.ok())
        throw TStepError(QStringLiteral("Файл настроек \"%1\" поврежден: строка %2: %3")
                             .arg(path_)
                             .arg(parsed.errorLine)
                             .arg(parsed.error));
}

TConfigStore::~TConfigStore() = default;

void TConfigStore::ThrowOpenError() const
{
    CheckFile();
    throw TStepError(QStringLiteral("Нет доступа к файлу настроек \"%1\"").arg(path_));
}

bool TConfigStore::KeyExists(const QString& key) const
{
    QString group = key;
    group.replace(u'\\', u'/');
    settings_->beginGroup(group);
    const bool exists = !settings_->childKeys().isEmpty() || !settings_->childGroups().isEmpty();
    settings_->endGroup();
    return exists;
}

bool TConfigStore::ValueExists(const QString& key, const QString& name) const
{
    return Read(key, name).isValid();
}

QVariant TConfigStore::Read(const QString& key, const QString& name) const
{
    return settings_->value(ValuePath(key, name));
}

QString TConfigStore::ReadString(const QString& key, const QString& name) const
{
    const QVariant value = Read(key, name);
    if (!value.isValid())
        return QString();
    if (value.typeId() != QMetaType::QString)
        throw TStepError(WrongTypeText(key, name));
    return value.toString();
}

int32_t TConfigStore::ReadInteger(const QString& key, const QString& name) const
{
    const QVariant value = Read(key, name);
    if (!value.isValid())
        throw TStepError(MissingText(key, name));
    if (value.typeId() != QMetaType::Int)
        throw TStepError(WrongTypeText(key, name));
    return value.toInt();
}

bool TConfigStore::ReadBool(const QString& key, const QString& name) const
{
    return ReadInteger(key, name) != 0;
}

void TConfigStore::Write(const QString& key, const QString& name, const QVariant& value)
{
    const QString path = ValuePath(key, name);
    NoteRegValueOrder(path_, path);
    settings_->setValue(path, value);
    written_ = true;
}

void TConfigStore::WriteString(const QString& key, const QString& name, const QString& value)
{
    Write(key, name, value);
}

void TConfigStore::WriteInteger(const QString& key, const QString& name, int32_t value)
{
    Write(key, name, QVariant::fromValue<int>(value));
}

void TConfigStore::WriteBool(const QString& key, const QString& name, bool value)
{
    Write(key, name, QVariant::fromValue<int>(value ? 1 : 0));
}

void TConfigStore::Flush()
{
    if (!written_)
        return;
    CheckFile();
    const QString dir = QFileInfo(path_).absolutePath();
    QDir().mkpath(dir);
    // A new file is created empty and owner-only first: the atomic replace keeps the
    // permissions of the file it replaces.
    if (!QFileInfo::exists(path_)) {
        QFile file(path_);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            file.close();
    }
    settings_->sync();
    written_ = false;
    if (settings_->status() != QSettings::NoError)
        throw TStepError(QStringLiteral("Не удалось записать файл настроек \"%1\"").arg(path_));
    QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace karvel
