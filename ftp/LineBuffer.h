// Assembles command lines from the raw bytes of a control connection. Every
// limit on command bytes is checked here: the buffer holds at most Size()-1
// bytes, and a full buffer without a line end becomes the line "OVER".
#pragma once

#include <memory>
#include <string>

namespace vendrix::ftp {

class TLineBuffer {
public:
    explicit TLineBuffer(int size = 2048) { SetSize(size); }

    int Size() const { return FSize; }
    // Raises "Data in buffer, can't change size" while bytes are held.
    void SetSize(int size);
    int Count() const { return FCount; }

    // Where the next received bytes go, and how many may (Size - Count - 1).
    // The memory is there only while bytes are held or about to come: an
    // idle session, with every line taken, holds none (thousands of idle
    // sessions would otherwise keep a buffer each).
    char* WritePtr();
    int WriteSpace() const { return FSize > FCount + 1 ? FSize - FCount - 1 : 0; }
    void Commit(int n);
    // Forgets every byte held, complete lines and the partial one.
    void Clear() {
        FCount = 0;
        FData.reset();
    }
    // Copies bytes in (up to WriteSpace); returns how many were taken.
    int Append(const char* data, int n);

    // Takes the next complete line, without its LF and (when at least two
    // bytes precede the LF and the last is CR) without its CR. A full buffer
    // without LF yields "OVER" and is emptied. False when no line is complete.
    bool NextLine(std::string& line);

private:
    std::unique_ptr<char[]> FData;
    int FSize = 0;
    int FCount = 0;
};

} // namespace vendrix::ftp
