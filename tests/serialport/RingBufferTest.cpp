#include "serialport/RingBuffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

using kavrio::RingBuffer;

TEST(RingBufferCapacity, FollowsThePowerOfTwoRule)
{
    EXPECT_EQ(RingBuffer<char>::capacityFor(0), 4096u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(1), 1u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(3), 4u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(4096), 4096u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(5000), 8192u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(0x40000000u), 0x40000000u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(0x40000001u), 4096u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(0x80000000u), 0x80000000u);
    EXPECT_EQ(RingBuffer<char>::capacityFor(0xFFFFFFFFu), 4096u);
    // The index range of the largest buffer spans all 32 bits.
    EXPECT_EQ(RingBuffer<char>::indexMaskFor(0x80000000u), 0xFFFFFFFFu);
    EXPECT_EQ(RingBuffer<char>(5000).capacity(), 8192u);
}

TEST(RingBuffer, EmptyBufferReportsNothingToTake)
{
    RingBuffer<char> buffer(8);
    char out[4];
    EXPECT_EQ(buffer.take(out, sizeof out), 0u);
    EXPECT_EQ(buffer.usedCount(), 0u);
    EXPECT_EQ(buffer.freeCount(), 8u);
    EXPECT_FALSE(buffer.full());
    EXPECT_TRUE(buffer.empty());
}

TEST(RingBuffer, OverflowDropsTheOldestBytes)
{
    RingBuffer<char> buffer(8);
    const char bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(buffer.put(bytes, 10), 10u);
    EXPECT_TRUE(buffer.full());
    EXPECT_EQ(buffer.usedCount(), 8u);

    char out[20] = {};
    ASSERT_EQ(buffer.take(out, 20), 8u);
    EXPECT_EQ(std::vector<char>(out, out + 8), std::vector<char>({3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(buffer.empty());
}

TEST(RingBuffer, TakesInArrivalOrderAcrossTheWrapPoint)
{
    RingBuffer<char> buffer(4);
    char out[4];
    buffer.put("abc", 3);
    ASSERT_EQ(buffer.take(out, 2), 2u); // read position now at 2
    buffer.put("def", 3);               // stored at 3, 0, 1
    ASSERT_EQ(buffer.take(out, 4), 4u);
    EXPECT_EQ(std::string(out, 4), "cdef");
}

// Random puts and takes against a plain model of a ring that keeps the newest
// bytes: every count and every byte must agree at every step.
TEST(RingBuffer, AgreesWithAReferenceModel)
{
    std::mt19937 random(20261206);
    for (unsigned int capacity : {1u, 2u, 4u, 8u, 16u}) {
        RingBuffer<char> buffer(capacity);
        std::deque<char> model;
        char next = 0;
        for (int step = 0; step < 5000; ++step) {
            const unsigned int length = random() % (2 * capacity + 2);
            if (random() % 2 == 0) {
                std::vector<char> bytes(length);
                for (char& byte : bytes)
                    byte = next++;
                ASSERT_EQ(buffer.put(bytes.data(), length), length);
                for (char byte : bytes) {
                    model.push_back(byte);
                    if (model.size() > capacity)
                        model.pop_front();
                }
            } else {
                std::vector<char> out(length + 1);
                const unsigned int taken = buffer.take(out.data(), length);
                const unsigned int expected =
                    std::min<unsigned int>(length, static_cast<unsigned int>(model.size()));
                ASSERT_EQ(taken, expected) << "capacity " << capacity << " step " << step;
                for (unsigned int i = 0; i < taken; ++i) {
                    ASSERT_EQ(out[i], model.front()) << "capacity " << capacity << " step " << step;
                    model.pop_front();
                }
            }
            ASSERT_EQ(buffer.usedCount(), model.size());
            ASSERT_EQ(buffer.freeCount(), capacity - model.size());
            ASSERT_EQ(buffer.empty(), model.empty());
            ASSERT_EQ(buffer.full(), model.size() == capacity);
        }
    }
}
