#include <gtest/gtest.h>

#include <vector>

#include "player/decode/ptr_queue.h"

namespace {

std::vector<int> Values(PtrQueue* queue) {
  std::vector<int> values;
  for (PtrQueueNode* node = PtrQueue_First(queue); node; node = PtrQueue_Next(node))
    values.push_back(*static_cast<int*>(PtrQueue_Value(node)));
  return values;
}

TEST(PtrQueue, FirstInFirstOutWithRemovalAnywhere) {
  int items[6] = {0, 1, 2, 3, 4, 5};
  PtrQueue* queue = PtrQueue_Create();
  ASSERT_NE(queue, nullptr);
  EXPECT_EQ(PtrQueue_Pop(queue), nullptr);
  EXPECT_EQ(PtrQueue_First(queue), nullptr);
  for (int& item : items) ASSERT_EQ(PtrQueue_Push(queue, &item), 0);
  EXPECT_EQ(Values(queue), (std::vector<int>{0, 1, 2, 3, 4, 5}));

  EXPECT_EQ(PtrQueue_RemoveAt(queue, 2), &items[2]);  // middle
  EXPECT_EQ(PtrQueue_RemoveAt(queue, 4), &items[5]);  // last
  EXPECT_EQ(PtrQueue_RemoveAt(queue, 0), &items[0]);  // first
  EXPECT_EQ(PtrQueue_RemoveAt(queue, 3), nullptr);    // past the end
  EXPECT_EQ(Values(queue), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(PtrQueue_Count(queue), 3u);

  // Removed nodes are reused; the order stays first in, first out.
  ASSERT_EQ(PtrQueue_Push(queue, &items[0]), 0);
  EXPECT_EQ(PtrQueue_Pop(queue), &items[1]);
  EXPECT_EQ(PtrQueue_Pop(queue), &items[3]);
  EXPECT_EQ(PtrQueue_Pop(queue), &items[4]);
  EXPECT_EQ(PtrQueue_Pop(queue), &items[0]);
  EXPECT_EQ(PtrQueue_Pop(queue), nullptr);
  EXPECT_EQ(PtrQueue_Count(queue), 0u);

  // Destroy frees the nodes of both lists and leaves the values alone.
  ASSERT_EQ(PtrQueue_Push(queue, &items[5]), 0);
  PtrQueue_Destroy(queue);
  PtrQueue_Destroy(nullptr);
  EXPECT_EQ(items[5], 5);
}

}  // namespace
