#pragma once

#include "platform/FileHandle.h"

#include <QByteArray>
#include <QString>

#include <taglib/tiostream.h>

// A file for TagLib to edit whose every write is checked. TagLib's own file
// stream writes through a buffer and ignores what the system answers, so a
// full disk in the middle of its rewrite leaves a damaged file it calls
// saved. Here writes go straight to the file, and the first one refused
// keeps its reason; nothing is written after it.
class CheckedFileStream : public TagLib::IOStream {
public:
    explicit CheckedFileStream(const QString& path);

    // The system's reason for the first failure; empty while there was none.
    const QString& failure() const { return failure_; }

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0,
                unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return static_cast<bool>(file_); }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return position_; }
    long length() override;
    void truncate(long length) override;

private:
    bool readAt(long at, char* data, long size);
    bool writeAt(long at, const char* data, long size);
    // Moves the bytes from `from` to the end of the file to `to`.
    bool shift(long from, long to);
    void fail(int error);

    QByteArray path_;
    FileHandle file_;
    long position_ = 0;
    QString failure_;
};
