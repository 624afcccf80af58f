#include "framework/ptr_list.h"

CPtrList::CPtrList(int nBlockSize) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

CPtrList::~CPtrList() {
    RemoveAll();
}

void* CPtrList::GetNext(POSITION& pos) const {
    CNode* node = ToNode(pos);
    if (!node)
        return nullptr;
    pos = ToPosition(node->pNext);
    return node->data;
}

void* CPtrList::GetAt(POSITION pos) const {
    CNode* node = ToNode(pos);
    return node ? node->data : nullptr;
}

POSITION CPtrList::AddTail(void* element) {
    CNode* node = NewNode(m_pNodeTail, nullptr);
    node->data = element;
    if (m_pNodeTail)
        m_pNodeTail->pNext = node;
    else
        m_pNodeHead = node;
    m_pNodeTail = node;
    return ToPosition(node);
}

void* CPtrList::RemoveHead() {
    if (!m_pNodeHead)
        return nullptr;
    void* element = m_pNodeHead->data;
    RemoveAt(ToPosition(m_pNodeHead));
    return element;
}

void CPtrList::RemoveAt(POSITION pos) {
    CNode* node = ToNode(pos);
    if (!node)
        return;
    if (node->pPrev)
        node->pPrev->pNext = node->pNext;
    else
        m_pNodeHead = node->pNext;
    if (node->pNext)
        node->pNext->pPrev = node->pPrev;
    else
        m_pNodeTail = node->pPrev;
    FreeNode(node);
}

void CPtrList::RemoveAll() {
    ++m_nRemovals;
    while (m_pBlocks) {
        CNode* block = m_pBlocks;
        m_pBlocks = block->pNext;
        delete[] block;
    }
    m_pNodeHead = m_pNodeTail = m_pNodeFree = nullptr;
    m_nCount = 0;
}

POSITION CPtrList::FindIndex(int index) const {
    if (index < 0 || index >= m_nCount)
        return nullptr;
    CNode* node = m_pNodeHead;
    while (index-- > 0)
        node = node->pNext;
    return ToPosition(node);
}

CPtrList::CNode* CPtrList::NewNode(CNode* pPrev, CNode* pNext) {
    if (!m_pNodeFree) {
        // One extra node heads the block and links it to the others; the
        // rest go to the free list. May throw before anything has changed.
        CNode* block = new CNode[static_cast<unsigned>(m_nBlockSize) + 1];
        block->pNext = m_pBlocks;
        m_pBlocks = block;
        for (int i = m_nBlockSize; i >= 1; --i) {
            block[i].pNext = m_pNodeFree;
            m_pNodeFree = &block[i];
        }
    }
    CNode* node = m_pNodeFree;
    m_pNodeFree = node->pNext;
    node->pPrev = pPrev;
    node->pNext = pNext;
    node->data = nullptr;
    ++m_nCount;
    return node;
}

void CPtrList::FreeNode(CNode* node) {
    ++m_nRemovals;
    node->data = nullptr;
    node->pPrev = nullptr;
    node->pNext = m_pNodeFree;
    m_pNodeFree = node;
    // An emptied list gives all its blocks back, as the framework's does.
    if (--m_nCount == 0)
        RemoveAll();
}
