#include "serialport/RingBuffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

using kavrio::RingBuffer;

TEST(RingBuffer, CapacityIsThePowerOfTwoAtOrAboveTheRequest)
{
    const unsigned int cases[][2] = {{0, 4096},          {1, 1},          {3, 4},
                                     {5000, 8192},       {0x40000001u, 4096}, {0x80000000u, 0x80000000u},
                                     {0xFFFFFFFFu, 4096}};
    for (const auto& c : cases)
        EXPECT_EQ(RingBuffer<char>::capacityFor(c[0]), c[1]) << c[0];
    EXPECT_EQ(RingBuffer<char>::indexMaskFor(0x80000000u), 0xFFFFFFFFu);
}

// Random puts and takes against a plain model of a ring that keeps the newest
// bytes: every count and every byte must agree at every step.
TEST(RingBuffer, AgreesWithAReferenceModel)
{
    std::mt19937 random(20261206);
    for (unsigned int capacity : {1u, 2u, 8u, 16u}) {
        RingBuffer<char> buffer(capacity);
        std::deque<char> model;
        char next = 0;
        for (int step = 0; step < 5000; ++step) {
            SCOPED_TRACE(testing::Message() << "capacity " << capacity << " step " << step);
            const unsigned int length = random() % (2 * capacity + 2);
            if (random() % 2 == 0) {
                std::vector<char> bytes(length);
                for (char& byte : bytes) {
                    byte = next++;
                    model.push_back(byte);
                    if (model.size() > capacity)
                        model.pop_front();
                }
                ASSERT_EQ(buffer.put(bytes.data(), length), length);
            } else {
                std::vector<char> out(length + 1);
                const unsigned int taken = buffer.take(out.data(), length);
                ASSERT_EQ(taken, std::min<std::size_t>(length, model.size()));
                for (unsigned int i = 0; i < taken; ++i, model.pop_front())
                    ASSERT_EQ(out[i], model.front());
            }
            ASSERT_EQ(buffer.usedCount(), model.size());
            ASSERT_EQ(buffer.freeCount(), capacity - model.size());
            ASSERT_EQ(buffer.empty(), model.empty());
            ASSERT_EQ(buffer.full(), model.size() == capacity);
        }
    }
}
