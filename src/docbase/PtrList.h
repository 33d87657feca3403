// Doubly linked lists of untyped pointers and of strings. Nodes are allocated
// in blocks of ten and recycled through a free list; when a list becomes empty
// every block is released.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace qdat {

template <class V>
class BlockList {
public:
    struct Node {
        Node* next = nullptr;
        Node* prev = nullptr;
        V value{};
    };
    using Position = Node*;

    BlockList() = default;
    ~BlockList() = default;
    BlockList(const BlockList&) = delete;
    BlockList& operator=(const BlockList&) = delete;

    int GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    Position GetHeadPosition() const { return m_head; }
    Position GetTailPosition() const { return m_tail; }
    V& GetNext(Position& pos) {
        Node* n = pos;
        pos = n->next;
        return n->value;
    }
    V& GetPrev(Position& pos) {
        Node* n = pos;
        pos = n->prev;
        return n->value;
    }
    V& GetAt(Position pos) { return pos->value; }
    V& GetHead() { return m_head->value; }
    V& GetTail() { return m_tail->value; }

    Position AddTail(V value) {
        Node* n = NewNode(std::move(value));
        n->prev = m_tail;
        if (m_tail)
            m_tail->next = n;
        else
            m_head = n;
        m_tail = n;
        return n;
    }
    Position AddHead(V value) {
        Node* n = NewNode(std::move(value));
        n->next = m_head;
        if (m_head)
            m_head->prev = n;
        else
            m_tail = n;
        m_head = n;
        return n;
    }
    void RemoveAt(Position pos) {
        if (pos->prev)
            pos->prev->next = pos->next;
        else
            m_head = pos->next;
        if (pos->next)
            pos->next->prev = pos->prev;
        else
            m_tail = pos->prev;
        FreeNode(pos);
    }
    void RemoveAll() {
        m_head = m_tail = m_free = nullptr;
        m_count = 0;
        m_blocks.clear();
    }
    // The first position holding value, or null.
    Position Find(const V& value) const {
        for (Node* n = m_head; n; n = n->next)
            if (n->value == value) return n;
        return nullptr;
    }
    // Number of node blocks currently allocated (for tests).
    std::size_t GetBlockCount() const { return m_blocks.size(); }

    static constexpr int kBlockSize = 10;

private:
    Node* NewNode(V value) {
        if (!m_free) {
            auto block = std::make_unique<Node[]>(kBlockSize);
            for (int i = kBlockSize - 1; i >= 0; --i) {
                block[i].next = m_free;
                m_free = &block[i];
            }
            m_blocks.push_back(std::move(block));
        }
        Node* n = m_free;
        m_free = n->next;
        n->next = n->prev = nullptr;
        n->value = std::move(value);
        ++m_count;
        return n;
    }
    void FreeNode(Node* n) {
        n->value = V{};
        n->prev = nullptr;
        n->next = m_free;
        m_free = n;
        if (--m_count == 0) RemoveAll();
    }

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    Node* m_free = nullptr;
    int m_count = 0;
    std::vector<std::unique_ptr<Node[]>> m_blocks;
};

using PtrList = BlockList<void*>;
using StringList = BlockList<std::string>;

}  // namespace qdat
