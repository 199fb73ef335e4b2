// The report's tables: columns lined up by character count.
#pragma once

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "hostprogram/program_text.h"

namespace hostprogram {

// Columns lined up by character count; the last column is not padded. Each row is made once; its
// cells are kept packed (a length, then the bytes) in blocks of a fixed size until every column's
// width is known, so that a table of a million rows holds no string per cell.
class Table {
public:
    using Row = std::vector<std::string>;

    Table(Row headings, std::vector<bool> rightAligned)
        : headings_(std::move(headings)), right_(std::move(rightAligned))
    {
    }

    // make(index, row) fills row with the cells of row index, for index from 0 to rows - 1.
    template <class Make>
    void Print(std::ostream& out, size_t rows, Make&& make) const
    {
        std::vector<size_t> widths(headings_.size(), 0);
        Widen(widths, headings_);
        PackedCells packed;
        Row row(headings_.size());
        for (size_t index = 0; index < rows; ++index) {
            make(index, row);
            Widen(widths, row);
            for (const std::string& cell : row)
                packed.Add(cell);
        }
        std::string line;
        PrintRow(out, widths, headings_, line);
        PackedCells::Reader reader(packed);
        for (size_t index = 0; index < rows; ++index) {
            for (std::string& cell : row)
                reader.Next(cell);
            PrintRow(out, widths, row, line);
        }
    }

private:
    class PackedCells {
    public:
        void Add(const std::string& cell)
        {
            char length[5];
            size_t used = 0;
            size_t rest = cell.size();
            do {
                const unsigned char low = rest & 0x7F;
                rest >>= 7;
                length[used++] = static_cast<char>(rest ? low | 0x80 : low);
            } while (rest);
            if (blocks_.empty() || blocks_.back().size() + used + cell.size() > blocks_.back().capacity()) {
                blocks_.emplace_back();
                blocks_.back().reserve(std::max(kBlockSize, used + cell.size()));
            }
            blocks_.back().append(length, used).append(cell);
        }

        class Reader {
        public:
            explicit Reader(const PackedCells& cells) : blocks_(cells.blocks_) {}
            void Next(std::string& cell)
            {
                while (block_ < blocks_.size() && at_ >= blocks_[block_].size()) {
                    ++block_;
                    at_ = 0;
                }
                const std::string& text = blocks_[block_];
                size_t length = 0;
                for (int shift = 0;; shift += 7) {
                    const unsigned char byte = static_cast<unsigned char>(text[at_++]);
                    length |= static_cast<size_t>(byte & 0x7F) << shift;
                    if (!(byte & 0x80))
                        break;
                }
                cell.assign(text, at_, length);
                at_ += length;
            }

        private:
            const std::vector<std::string>& blocks_;
            size_t block_ = 0;
            size_t at_ = 0;
        };

    private:
        static constexpr size_t kBlockSize = 1 << 20;
        std::vector<std::string> blocks_;
    };

    static void Widen(std::vector<size_t>& widths, const Row& row)
    {
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }

    void PrintRow(std::ostream& out, const std::vector<size_t>& widths, const Row& row, std::string& line) const
    {
        line.clear();
        for (size_t i = 0; i < row.size(); ++i) {
            const size_t padding = widths[i] - DisplayWidth(row[i]);
            const bool last = i + 1 == row.size();
            if (i > 0)
                line += "  ";
            if (right_[i])
                line.append(padding, ' ').append(row[i]);
            else if (last)
                line += row[i];
            else
                line.append(row[i]).append(padding, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }

    Row headings_;
    std::vector<bool> right_;
};

}  // namespace hostprogram
