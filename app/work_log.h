#pragma once
// The work log file "log.txt": Windows-1251 text, CR LF line ends, appended to, created
// when missing. Every line goes to the disk as it is written, so a crash or a power loss
// keeps the last link events.

#include <QString>

namespace karvel {

class TWorkLog {
public:
    TWorkLog() = default;
    ~TWorkLog();
    TWorkLog(const TWorkLog&) = delete;
    TWorkLog& operator=(const TWorkLog&) = delete;

    bool Open(const QString& path);
    bool IsOpen() const { return fd_ >= 0; }
    // Appends `line` and the line end; false when the line did not reach the disk.
    bool WriteLine(const QString& line);
    void Close();

private:
    int fd_ = -1;
};

} // namespace karvel
