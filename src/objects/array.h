// CArray: the growable array of element pointers behind the services collection. It stores plain
// pointers and never adds or releases references; the collection does.
#pragma once

#include <cstring>
#include <new>

#include "support/hresult.h"

template <class Element>
class CArray {
public:
    CArray() = default;
    CArray(const CArray&) = delete;
    CArray& operator=(const CArray&) = delete;
    ~CArray() { delete[] Data; }

    int GetSize() const { return Size; }
    int GetCapacity() const { return Capacity; }
    Element* GetAt(int position) const
    {
        if (position < 0 || position >= Size)
            Raise(E_INVALIDARG);
        return Data[position];
    }

    void Append(Element* element) { InsertAt(Size, element); }

    void InsertAt(int position, Element* element)
    {
        if (position < 0 || position > Size)
            Raise(E_INVALIDARG);
        MakeRoom(1);
        std::memmove(Data + position + 1, Data + position, sizeof(Element*) * static_cast<size_t>(Size - position));
        ++Size;
        Data[position] = element;
    }

    void RemoveAt(int position)
    {
        if (position < 0 || position >= Size)
            Raise(E_INVALIDARG);
        std::memmove(Data + position, Data + position + 1, sizeof(Element*) * static_cast<size_t>(Size - position - 1));
        Data[Size - 1] = nullptr;
        --Size;
    }

    void RemoveAll()
    {
        while (Size > 0)
            RemoveAt(Size - 1);
        Capacity = 0;
        delete[] Data;
        Data = nullptr;
    }

private:
    // Grows by whole multiples of GrowBy; storage never shrinks until everything is removed.
    void MakeRoom(int count)
    {
        if (count <= 0 || Capacity >= Size + count)
            return;
        const int grow = (count + GrowBy - 1) / GrowBy * GrowBy;
        auto* fresh = new (std::nothrow) Element*[static_cast<size_t>(Capacity + grow)]();
        if (!fresh)
            Raise(E_OUTOFMEMORY);
        if (Size)
            std::memcpy(fresh, Data, sizeof(Element*) * static_cast<size_t>(Size));
        delete[] Data;
        Data = fresh;
        Capacity += grow;
    }

    int GrowBy = 8;
    int Capacity = 0;
    int Size = 0;
    Element** Data = nullptr;
};
