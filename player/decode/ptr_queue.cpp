#include "player/decode/ptr_queue.h"

#include <new>

struct PtrQueueNode {
  PtrQueueNode* previous = nullptr;
  PtrQueueNode* next = nullptr;
  void* value = nullptr;
};

namespace {

struct NodeList {
  PtrQueueNode* head = nullptr;
  PtrQueueNode* tail = nullptr;
  size_t count = 0;

  void Append(PtrQueueNode* node) {
    node->previous = tail;
    node->next = nullptr;
    (tail ? tail->next : head) = node;
    tail = node;
    ++count;
  }
  void Prepend(PtrQueueNode* node) {
    node->previous = nullptr;
    node->next = head;
    (head ? head->previous : tail) = node;
    head = node;
    ++count;
  }
  void Unlink(PtrQueueNode* node) {
    (node->previous ? node->previous->next : head) = node->next;
    (node->next ? node->next->previous : tail) = node->previous;
    node->previous = node->next = nullptr;
    --count;
  }
  void FreeAll() {
    while (head) {
      PtrQueueNode* next = head->next;
      delete head;
      head = next;
    }
    tail = nullptr;
    count = 0;
  }
};

}  // namespace

struct PtrQueue {
  NodeList used;
  NodeList pool;
};

PtrQueue* PtrQueue_Create() { return new (std::nothrow) PtrQueue; }

void PtrQueue_Destroy(PtrQueue* queue) {
  if (!queue) return;
  queue->used.FreeAll();
  queue->pool.FreeAll();
  delete queue;
}

int PtrQueue_Push(PtrQueue* queue, void* value) {
  PtrQueueNode* node = queue->pool.head;
  if (node) {
    queue->pool.Unlink(node);
  } else {
    node = new (std::nothrow) PtrQueueNode;
    if (!node) return -3;
  }
  node->value = value;
  queue->used.Append(node);
  return 0;
}

namespace {

void* Release(PtrQueue* queue, PtrQueueNode* node) {
  void* value = node->value;
  queue->used.Unlink(node);
  node->value = nullptr;
  queue->pool.Prepend(node);
  return value;
}

}  // namespace

void* PtrQueue_Pop(PtrQueue* queue) {
  return queue->used.head ? Release(queue, queue->used.head) : nullptr;
}

PtrQueueNode* PtrQueue_First(PtrQueue* queue) { return queue->used.head; }
PtrQueueNode* PtrQueue_Next(PtrQueueNode* node) { return node ? node->next : nullptr; }
void* PtrQueue_Value(PtrQueueNode* node) { return node ? node->value : nullptr; }

void* PtrQueue_RemoveAt(PtrQueue* queue, size_t index) {
  PtrQueueNode* node = queue->used.head;
  for (size_t i = 0; node && i < index; ++i) node = node->next;
  return node ? Release(queue, node) : nullptr;
}

size_t PtrQueue_Count(const PtrQueue* queue) { return queue->used.count; }
