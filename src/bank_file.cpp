// Reads the bank in text mode, so CR LF arrives as LF and a Ctrl-Z byte ends the data, exactly as a text-mode
// stream would deliver it. Deny-none sharing leaves other programs free to read and write the bank while we hold
// it open; the standard streams cannot open a file with a share mode, so this uses the C runtime's _wfsopen.
#include "bank_file.h"

#include <io.h>
#include <share.h>

#include <cstdio>

bool ReadBankFile(const wchar_t* path, std::string& bank_text) {
    FILE* file = _wfsopen(path, L"rt", _SH_DENYNO);
    if (!file) return false;
    // Text mode only ever shortens the data, so one read into a buffer of the file's size takes it all, unless
    // another program makes the file longer meanwhile; the loop then fetches the rest.
    const long long size = _filelengthi64(_fileno(file));
    bank_text.resize(size > 0 ? static_cast<size_t>(size) : 0);
    bank_text.resize(fread(&bank_text[0], 1, bank_text.size(), file));
    char chunk[1 << 16];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bank_text.append(chunk, got);
    const bool read_ok = !ferror(file);
    fclose(file);
    return read_ok;
}
