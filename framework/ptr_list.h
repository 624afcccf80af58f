// CPtrList: the framework's doubly linked list of untyped pointers.
//
// Nodes come from blocks of a fixed number of nodes and go back to a free
// list when removed, so a list that grows and shrinks does not allocate for
// every element. All blocks are released when the list becomes empty.
// The list never owns what its pointers point to.
#pragma once

// An opaque place in a list, as the framework hands it out; null means "none".
struct PvPositionTag;
using POSITION = PvPositionTag*;

class CPtrList {
public:
    explicit CPtrList(int nBlockSize = 10);
    virtual ~CPtrList();
    CPtrList(const CPtrList&) = delete;
    CPtrList& operator=(const CPtrList&) = delete;

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    POSITION GetHeadPosition() const { return ToPosition(m_pNodeHead); }
    // Returns the element at `pos` and moves `pos` to the next element, or to
    // null past the end. A null `pos` gives null and stays null.
    void* GetNext(POSITION& pos) const;
    void* GetAt(POSITION pos) const;

    // Throws std::bad_alloc when a new node block cannot be had; the list is
    // then unchanged.
    POSITION AddTail(void* element);
    // Removes and returns the first element; null when the list is empty.
    void* RemoveHead();
    // `pos` must come from this list; it is invalid afterwards. Null is ignored.
    void RemoveAt(POSITION pos);
    void RemoveAll();

    // Position of the element at zero-based `index`; null outside 0..count-1.
    POSITION FindIndex(int index) const;

    // Grows with every removal (RemoveAll too): a position kept from before
    // it changed may name a node that has gone or holds another element.
    unsigned long long GetRemovalCount() const { return m_nRemovals; }

private:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        void* data;
    };

    static POSITION ToPosition(CNode* node) { return reinterpret_cast<POSITION>(node); }
    static CNode* ToNode(POSITION pos) { return reinterpret_cast<CNode*>(pos); }

    CNode* NewNode(CNode* pPrev, CNode* pNext);
    void FreeNode(CNode* node);

    CNode* m_pNodeHead = nullptr;
    CNode* m_pNodeTail = nullptr;
    int m_nCount = 0;
    CNode* m_pNodeFree = nullptr;  // removed nodes, linked through pNext
    CNode* m_pBlocks = nullptr;    // first node of each block links the blocks
    int m_nBlockSize;
    unsigned long long m_nRemovals = 0;
};
