#pragma once
// A first-in first-out queue of untyped pointers that recycles its nodes:
// the used list holds the values, a pool keeps the spare nodes, and nodes
// are freed only by PtrQueue_Destroy, so a queue that has reached its
// working size no longer allocates.
#include <cstddef>

struct PtrQueueNode;
struct PtrQueue;

// nullptr when out of memory.
PtrQueue* PtrQueue_Create();
// Frees the nodes of both lists, not the values.  A null queue is ignored.
void PtrQueue_Destroy(PtrQueue* queue);
// Appends value; 0, or -3 when no node could be had (the queue is unchanged).
int PtrQueue_Push(PtrQueue* queue, void* value);
// Removes and returns the oldest value; nullptr when the queue is empty.
void* PtrQueue_Pop(PtrQueue* queue);
// Walking the values, oldest first: First, then Next until nullptr.
PtrQueueNode* PtrQueue_First(PtrQueue* queue);
PtrQueueNode* PtrQueue_Next(PtrQueueNode* node);
void* PtrQueue_Value(PtrQueueNode* node);
// Removes and returns the value `index` places after the oldest; nullptr
// when the index runs past the end.
void* PtrQueue_RemoveAt(PtrQueue* queue, size_t index);
size_t PtrQueue_Count(const PtrQueue* queue);
