// An in-process registry behind RegOpenKeyExA, RegQueryValueExA and
// RegCloseKey. It starts empty, so in the tool every open fails as for a
// missing key; tests fill it. Key and value names compare ignoring ASCII case.
#include <string.h>

#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "internal.h"

struct RegValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct RegNode {
    std::string name;
    std::vector<RegNode> children;
    std::vector<RegValue> values;
};

// An open key below a root: kept as its path, looked up again on each use,
// so that a key emptied by winposix_registry_clear is simply gone.
struct RegOpenKey {
    HKEY root;
    std::vector<std::string> path;
};

static const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                              HKEY_USERS, HKEY_CURRENT_CONFIG};
static const int kRootCount = sizeof kRoots / sizeof kRoots[0];

static std::mutex registry_lock;
static RegNode root_nodes[kRootCount];
static std::unordered_set<RegOpenKey *> open_keys;

static bool same_name(const std::string &a, const char *b)
{
    return a.size() == strlen(b) && winposix_same_nocase(a.c_str(), b, a.size());
}

static RegNode *root_node(HKEY key)
{
    for (int i = 0; i < kRootCount; i++)
        if (kRoots[i] == key)
            return &root_nodes[i];
    return nullptr;
}

static RegNode *child(RegNode *node, const char *name)
{
    for (RegNode &c : node->children)
        if (same_name(c.name, name))
            return &c;
    return nullptr;
}

// The components of a subkey path; empty components are skipped.
static std::vector<std::string> components(const char *subkey)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char *at = subkey ? subkey : "";; at++) {
        if (*at == '\\' || *at == 0) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
            if (*at == 0)
                return parts;
        } else {
            part += *at;
        }
    }
}

static RegNode *walk(RegNode *node, const std::vector<std::string> &path)
{
    for (const std::string &part : path) {
        if (!node)
            return nullptr;
        node = child(node, part.c_str());
    }
    return node;
}

// The open key behind a handle, or null (not a key of ours: code 6).
static RegOpenKey *open_key(HKEY key)
{
    RegOpenKey *open = reinterpret_cast<RegOpenKey *>(key);
    return open_keys.count(open) ? open : nullptr;
}

// The node a handle names; *code says why there is none.
static RegNode *node_of(HKEY key, LONG *code)
{
    if (RegNode *root = root_node(key))
        return root;
    RegOpenKey *open = open_key(key);
    if (!open) {
        *code = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    RegNode *node = walk(root_node(open->root), open->path);
    *code = node ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    return node;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access, PHKEY out)
{
    (void)options;
    (void)access;
    if (!out)
        return ERROR_INVALID_PARAMETER;
    *out = nullptr;
    std::lock_guard<std::mutex> guard(registry_lock);
    LONG code = ERROR_SUCCESS;
    RegNode *base = node_of(key, &code);
    if (!base)
        return code;
    std::vector<std::string> path = components(subkey);
    if (path.empty() && root_node(key)) {
        *out = key;
        return ERROR_SUCCESS;
    }
    if (!walk(base, path))
        return ERROR_FILE_NOT_FOUND;
    RegOpenKey *opened = new RegOpenKey();
    if (RegOpenKey *parent = open_key(key)) {
        opened->root = parent->root;
        opened->path = parent->path;
    } else {
        opened->root = key;
    }
    opened->path.insert(opened->path.end(), path.begin(), path.end());
    open_keys.insert(opened);
    *out = reinterpret_cast<HKEY>(opened);
    return ERROR_SUCCESS;
}

static const RegValue *find_value(const RegNode *node, const char *name)
{
    for (const RegValue &v : node->values)
        if (same_name(v.name, name ? name : ""))
            return &v;
    return nullptr;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size)
{
    if (reserved || (data && !size))
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> guard(registry_lock);
    LONG code = ERROR_SUCCESS;
    RegNode *node = node_of(key, &code);
    if (!node)
        return code;
    const RegValue *value = find_value(node, name);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type;
    DWORD needed = static_cast<DWORD>(value->data.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed > 0)
        memcpy(data, value->data.data(), needed);
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (root_node(key))
        return ERROR_SUCCESS;
    std::lock_guard<std::mutex> guard(registry_lock);
    RegOpenKey *open = open_key(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    open_keys.erase(open);
    delete open;
    return ERROR_SUCCESS;
}

// String values are kept with their terminating zero, which queries count.
static bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

LONG winposix_registry_set(HKEY root, LPCSTR subkey, LPCSTR name, DWORD type, const void *data,
                           DWORD size)
{
    if (!data && size > 0)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> guard(registry_lock);
    RegNode *node = root_node(root);
    if (!node)
        return ERROR_INVALID_HANDLE;
    for (const std::string &part : components(subkey)) {
        RegNode *next = child(node, part.c_str());
        if (!next) {
            node->children.push_back(RegNode{part, {}, {}});
            next = &node->children.back();
        }
        node = next;
    }
    const BYTE *bytes = static_cast<const BYTE *>(data);
    std::vector<BYTE> stored(bytes, bytes + size);
    if (is_string_type(type) && (stored.empty() || stored.back() != 0))
        stored.push_back(0);
    for (RegValue &v : node->values) {
        if (same_name(v.name, name ? name : "")) {
            v.type = type;
            v.data = stored;
            return ERROR_SUCCESS;
        }
    }
    node->values.push_back(RegValue{name ? name : "", type, stored});
    return ERROR_SUCCESS;
}

void winposix_registry_clear(void)
{
    std::lock_guard<std::mutex> guard(registry_lock);
    for (RegNode &node : root_nodes) {
        node.children.clear();
        node.values.clear();
    }
}
