#include "serialport/RingBuffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

// Random puts, takes and direct fills of the free run against a plain model
// of a ring that keeps the newest bytes: every count and every byte must
// agree at every step.
TEST(RingBuffer, AgreesWithAReferenceModel)
{
    std::mt19937 random(20261206);
    for (unsigned int capacity : {1u, 2u, 8u, 16u}) {
        kavrio::RingBuffer<char> buffer(capacity);
        std::deque<char> model;
        char next = 0;
        for (int step = 0; step < 5000; ++step) {
            SCOPED_TRACE(testing::Message() << "capacity " << capacity << " step " << step);
            const unsigned int length = random() % (2 * capacity + 2);
            std::vector<char> bytes(length);
            if (const unsigned int operation = random() % 3; operation == 0) {
                for (char& byte : bytes) {
                    model.push_back(byte = next++);
                    if (model.size() > capacity)
                        model.pop_front();
                }
                ASSERT_EQ(buffer.put(bytes.data(), length), length);
            } else if (operation == 1) {
                const unsigned int taken = buffer.take(bytes.data(), length);
                ASSERT_EQ(taken, std::min<std::size_t>(length, model.size()));
                for (unsigned int i = 0; i < taken; ++i, model.pop_front())
                    ASSERT_EQ(bytes[i], model.front());
            } else {
                const auto run = buffer.freeRun();
                ASSERT_LE(run.size, capacity - model.size());
                for (unsigned int i = 0; i < std::min(length, run.size); ++i)
                    model.push_back(run.data[i] = next++);
                buffer.commit(std::min(length, run.size));
            }
            ASSERT_EQ(buffer.usedCount(), model.size());
            ASSERT_EQ(buffer.freeCount(), capacity - model.size());
            ASSERT_EQ(buffer.empty(), model.empty());
            ASSERT_EQ(buffer.full(), model.size() == capacity);
        }
    }
}
