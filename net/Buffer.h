// One block of a socket's send queue: a fixed byte area written at its end
// and read from its start; a drained block is rewound and written again.
#pragma once

#include <cstddef>
#include <memory>

namespace vendrix::net {

class TBuffer {
public:
    // A capacity of zero or less is taken as 1514.
    explicit TBuffer(int capacity);

    // Copies as many bytes as fit; returns how many (0 when full).
    int Write(const void* data, int length);
    // The first unread byte and the unread count; nullptr and 0 when none.
    const char* Peek(int& count) const;
    // Marks up to n unread bytes as read; returns how many. When everything
    // written has been read, both counts return to 0.
    int Remove(int n);

    int Capacity() const { return FCapacity; }
    int Unread() const { return FWrCount - FRdCount; }

private:
    std::unique_ptr<char[]> FData;
    int FCapacity;
    int FWrCount = 0;
    int FRdCount = 0;
};

} // namespace vendrix::net
