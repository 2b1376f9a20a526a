#pragma once
// The per-user configuration store: registry keys and typed values kept in the store
// file, with the registry's read rules. A missing string reads as empty; a missing
// integer or boolean, or a value of another type, is an error naming the key and the
// value. Reads and writes throw TStepError with the operator's text.

#include <QSettings>
#include <QString>

#include <cstdint>
#include <memory>

namespace karvel {

class TConfigStore {
public:
    // $XDG_CONFIG_HOME/Vistam/Karvel_net.reg, XDG_CONFIG_HOME defaulting to ~/.config.
    static QString DefaultPath();

    // Reads the file. A file that cannot be read or parsed is an error; the store is then
    // not usable, so the file can never be overwritten with defaults.
    explicit TConfigStore(QString path = DefaultPath());
    ~TConfigStore();
    TConfigStore(const TConfigStore&) = delete;
    TConfigStore& operator=(const TConfigStore&) = delete;

    const QString& Path() const { return path_; }

    // `key` in registry form, "Software\Vistam\Karvel_net\Line1".
    bool KeyExists(const QString& key) const;
    // For values added to the store later, which older stores lack.
    bool ValueExists(const QString& key, const QString& name) const;
    QString ReadString(const QString& key, const QString& name) const;
    int32_t ReadInteger(const QString& key, const QString& name) const;
    bool ReadBool(const QString& key, const QString& name) const;

    void WriteString(const QString& key, const QString& name, const QString& value);
    void WriteInteger(const QString& key, const QString& name, int32_t value);
    void WriteBool(const QString& key, const QString& name, bool value);

    // Replaces the file if anything was written; the file is left readable by its owner
    // only.
    void Flush();

private:
    QVariant Read(const QString& key, const QString& name) const;
    void Write(const QString& key, const QString& name, const QVariant& value);
    void CheckFile() const;
    [[noreturn]] void ThrowOpenError() const;

    QString path_;
    std::unique_ptr<QSettings> settings_;
    bool written_ = false;
};

} // namespace karvel
