// Which cache lines the render loop touches per output sample, and which of them miss.
//
//   tavrolune-cache-lines record OUT.bin COUNTER_OFFSET SKIP < lackey-trace
//   tavrolune-cache-lines report OUT.bin MEMBERS OBJECT_SIZE [SETS WAYS [MEMBER:BYTES ...]]
//
// record reads valgrind lackey's --trace-mem output, finds the plug-in object by the stores
// to its sample counter (at COUNTER_OFFSET in the object, which starts on a 2 MB boundary),
// and keeps, after SKIP samples, every data access as its 64-byte line, with a mark at each
// sample (a store to the counter). report reads MEMBERS (lines "offset size name" of the
// object's members) and prints, per sample and per member: the distinct lines touched and the
// misses of a simulated LRU L1 data cache (default 64 sets x 8 ways: 32 KB). Lines outside
// the object are grouped by 64 KB ("other@" the address / 65536): the stack, the tables of
// the shared object. Each set that more lines share than it has ways is then listed line by
// line (member and offset within it), and MEMBER:BYTES replays the trace as if that member
// lay BYTES further on, alone: a lead room tried without a rebuild.
// scripts/cache-lines.sh runs the whole chain.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr uint64_t kMark = ~0ull;
constexpr uint64_t kLargePage = 2u << 20;

int record(const char* path, uint64_t counter, long skip) {
    FILE* out = std::fopen(path, "wb");
    if (!out) return 1;
    std::map<uint64_t, int> candidates;
    uint64_t base = 0;
    long samples = 0;
    char line[256];
    const auto put = [&](uint64_t v) { std::fwrite(&v, sizeof v, 1, out); };
    while (std::fgets(line, sizeof line, stdin)) {
        // " L addr,size", " S ...", " M ..." (a modify: a load and a store); "I ..." is code
        if (line[0] != ' ') continue;
        const char kind = line[1];
        const uint64_t addr = std::strtoull(line + 3, nullptr, 16);
        const char* comma = std::strchr(line, ',');
        const long size = comma ? std::atol(comma + 1) : 1;
        const bool store = kind == 'S' || kind == 'M';
        if (!base) {
            // the counter's stores (4 bytes, or 8 with its neighbour) at the right offset
            // from a large-page boundary; one seen often enough is taken
            if (store && (size == 4 || size == 8) && addr > counter &&
                (addr - counter) % kLargePage == 0 && ++candidates[addr] > 50) {
                base = addr - counter;
                put(base);
            }
            continue;
        }
        if (store && addr == base + counter) {
            if (++samples > skip) put(kMark);
            continue;
        }
        if (samples <= skip) continue;
        for (uint64_t a = addr & ~63ull; a < addr + (uint64_t)size; a += 64) put(a);
    }
    std::fclose(out);
    std::fprintf(stderr, "%ld samples, object at %llx\n", samples, (unsigned long long)base);
    return base ? 0 : 1;
}

struct Member {
    uint64_t off, size;
    std::string name;
};

int report(const char* path, const char* membersPath, uint64_t objectSize, int sets, int ways,
           const std::map<std::string, long long>& shifts) {
    std::vector<Member> members;
    if (FILE* f = std::fopen(membersPath, "r")) {
        unsigned long long o, s;
        char name[256];
        while (std::fscanf(f, "%llu %llu %255s", &o, &s, name) == 3) members.push_back({o, s, name});
        std::fclose(f);
    }
    std::sort(members.begin(), members.end(),
              [](const Member& a, const Member& b) { return a.off < b.off; });
    FILE* f = std::fopen(path, "rb");
    uint64_t base = 0;
    if (!f || std::fread(&base, sizeof base, 1, f) != 1) return 1;
    std::unordered_map<uint64_t, std::string> owners;
    const auto owner = [&](uint64_t a) -> const std::string& {
        auto it = owners.find(a);
        if (it != owners.end()) return it->second;
        std::string name;
        if (a >= base && a < base + objectSize) {
            const uint64_t off = a - base;
            auto m = std::upper_bound(members.begin(), members.end(), off,
                                      [](uint64_t x, const Member& mm) { return x < mm.off; });
            if (m == members.begin()) {
                name = "(object head)";
            } else {
                --m;
                name = off < m->off + m->size + 64 ? m->name : "(between members)";
            }
        } else {
            char b[64];
            std::snprintf(b, sizeof b, "other@%llx", (unsigned long long)(a >> 16));
            name = b;
        }
        return owners[a] = name;
    };
    std::vector<std::vector<uint64_t>> cache((size_t)sets);  // each set's lines, LRU first
    std::map<std::string, double> misses, lines;
    std::unordered_set<uint64_t> sample;
    // per set: lines touched and misses, and the lines by member (the crowded sets' culprits)
    std::vector<double> setLines((size_t)sets), setMisses((size_t)sets);
    std::vector<std::map<std::string, double>> setMembers((size_t)sets);
    std::vector<std::map<uint64_t, double>> setEachLine((size_t)sets);
    // the lines a shift moved, by where they were (their member and offset are those)
    std::unordered_map<uint64_t, uint64_t> movedFrom;
    const auto origin = [&](uint64_t l) {
        const auto it = movedFrom.find(l);
        return it == movedFrom.end() ? l : it->second;
    };
    long samples = 0;
    double missTotal = 0, lineTotal = 0;
    uint64_t e;
    while (std::fread(&e, sizeof e, 1, f) == 1) {
        if (e == kMark) {
            ++samples;
            for (uint64_t l : sample) {
                const size_t si = (size_t)((l >> 6) % (uint64_t)sets);
                lines[owner(origin(l))] += 1;
                setLines[si] += 1;
                setMembers[si][owner(origin(l))] += 1;
                setEachLine[si][l] += 1;
            }
            lineTotal += (double)sample.size();
            sample.clear();
            continue;
        }
        if (!shifts.empty()) {
            auto sh = shifts.find(owner(e));
            if (sh != shifts.end()) {
                const uint64_t from = e;
                e += (uint64_t)sh->second;
                movedFrom[e] = from;
            }
        }
        sample.insert(e);
        std::vector<uint64_t>& set = cache[(e >> 6) % (uint64_t)sets];
        auto it = std::find(set.begin(), set.end(), e);
        if (it != set.end()) {
            set.erase(it);
        } else {
            misses[owner(origin(e))] += 1;
            setMisses[(e >> 6) % (uint64_t)sets] += 1;
            missTotal += 1;
            if ((int)set.size() >= ways) set.erase(set.begin());
        }
        set.push_back(e);
    }
    std::fclose(f);
    if (samples == 0) return 1;
    std::printf("%ld samples; per sample: %.1f lines touched, %.1f misses of a %d KB %d-way L1D\n",
                samples, lineTotal / samples, missTotal / samples, sets * ways * 64 / 1024, ways);
    std::vector<std::pair<double, std::string>> rows;
    for (const auto& kv : lines) rows.push_back({kv.second, kv.first});
    std::sort(rows.rbegin(), rows.rend());
    std::printf("%8s %8s  %s\n", "lines", "misses", "member");
    for (const auto& r : rows)
        if (r.first / samples >= 0.5 || misses[r.second] / samples >= 0.5)
            std::printf("%8.1f %8.1f  %s\n", r.first / samples, misses[r.second] / samples,
                        r.second.c_str());
    // The sets, per sample: lines touched (more than the ways can hold: '*'), misses, and the
    // three members with the most lines in the set.
    std::printf("\n%4s %6s %6s  %s\n", "set", "lines", "misses", "top members (lines)");
    for (int si = 0; si < sets; ++si) {
        std::vector<std::pair<double, std::string>> top;
        for (const auto& kv : setMembers[(size_t)si]) top.push_back({kv.second, kv.first});
        std::sort(top.rbegin(), top.rend());
        std::printf("%4d %6.1f%c %5.1f ", si, setLines[(size_t)si] / samples,
                    setLines[(size_t)si] / samples > ways ? '*' : ' ', setMisses[(size_t)si] / samples);
        for (size_t i = 0; i < top.size() && i < 3; ++i)
            std::printf(" %s %.1f", top[i].second.c_str(), top[i].first / samples);
        std::printf("\n");
    }
    // Each crowded set's lines, the most often touched first: the member and the line's
    // byte offset within it (outside the object: the address).
    for (int si = 0; si < sets; ++si) {
        if (setLines[(size_t)si] / samples <= ways) continue;
        std::vector<std::pair<double, uint64_t>> each;
        for (const auto& kv : setEachLine[(size_t)si]) each.push_back({kv.second, kv.first});
        std::sort(each.rbegin(), each.rend());
        std::printf("\nset %d:", si);
        for (const auto& [count, at] : each) {
            if (count / samples < 0.1) break;
            const uint64_t line = origin(at);
            const std::string& name = owner(line);
            const auto m = std::find_if(members.begin(), members.end(),
                                        [&](const Member& mm) { return mm.name == name; });
            if (m != members.end() && line >= base)
                std::printf(" %s+%llu %.1f", name.c_str(),
                            (unsigned long long)(line - base - m->off), count / samples);
            else
                std::printf(" %llx %.1f", (unsigned long long)line, count / samples);
        }
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "record") == 0)
        return record(argv[2], std::strtoull(argv[3], nullptr, 10), std::atol(argv[4]));
    if ((argc == 5 || argc >= 7) && std::strcmp(argv[1], "report") == 0) {
        // MEMBER:BYTES: the member's lines as if it lay that far on (back where negative),
        // alone: what a lead room before it would do, the members after it left where they are
        std::map<std::string, long long> shifts;
        for (int i = 7; i < argc; ++i) {
            const char* colon = std::strrchr(argv[i], ':');
            const long long bytes = colon ? std::atoll(colon + 1) : 0;
            if (!colon || bytes % 64 != 0) {
                std::fprintf(stderr, "a shift is MEMBER:BYTES, BYTES a multiple of 64\n");
                return 2;
            }
            shifts[std::string(argv[i], (size_t)(colon - argv[i]))] = bytes;
        }
        return report(argv[2], argv[3], std::strtoull(argv[4], nullptr, 10),
                      argc >= 7 ? std::atoi(argv[5]) : 64, argc >= 7 ? std::atoi(argv[6]) : 8,
                      shifts);
    }
    std::fprintf(stderr,
                 "usage: tavrolune-cache-lines record OUT.bin COUNTER_OFFSET SKIP < lackey-trace\n"
                 "       tavrolune-cache-lines report OUT.bin MEMBERS OBJECT_SIZE [SETS WAYS "
                 "[MEMBER:BYTES ...]]\n");
    return 2;
}
