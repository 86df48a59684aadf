// sign-release: makes the maker's Ed25519 key pair and signs release files for the updater.
//
//   sign-release keygen <secret-key-file>     writes a new secret key (64 raw bytes, owner-only) and
//                                             prints the public key in hexadecimal, the value of
//                                             -DBRISANTA_UPDATE_PUBLIC_KEY; never inside a git work
//                                             tree, where it could be committed with the sources
//   sign-release public-key <secret-key-file> prints the public key of an existing secret key
//   sign-release sign <secret-key-file> <version> <file>...
//                                             writes <file>.sig beside each file: the 64 raw bytes
//                                             of the Ed25519 detached signature of the file's
//                                             release statement, then that statement. Only for a
//                                             file built as that version: the client carries its
//                                             version (brand/release_marker.h)
//
// The statement says which release the file is, so that an older release or another program of
// the maker cannot be passed off as the new client. Five lines, each "key=value" and a line feed,
// in this order: producto=Brisanta, archivo=<the file's name>, version=<version>, bytes=<size>,
// sha256=<the file's SHA-256 in lower-case hexadecimal>.
//
// libsodium signs; the statement is composed by the updater's code, so both always agree.
#include "brand/release_marker.h"
#include "updater/release_statement.h"

#include <sodium.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using SecretKey = std::array<unsigned char, crypto_sign_SECRETKEYBYTES>;
using PublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;

int usage()
{
    std::fprintf(stderr, "Uso:\n"
                         "  sign-release keygen <clave-secreta>\n"
                         "  sign-release public-key <clave-secreta>\n"
                         "  sign-release sign <clave-secreta> <versión> <archivo>...\n");
    return 2;
}

bool readFile(const std::string &path, std::vector<unsigned char> &bytes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    // In one read: a client built with its debugging information runs to hundreds of megabytes.
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    bytes.resize(std::size_t(size));
    in.seekg(0);
    return bytes.empty() || in.read(reinterpret_cast<char *>(bytes.data()), size).good();
}

bool readSecretKey(const std::string &path, SecretKey &key)
{
    std::vector<unsigned char> bytes;
    if (!readFile(path, bytes) || bytes.size() != key.size()) {
        std::fprintf(stderr, "%s no contiene una clave secreta de %zu bytes.\n", path.c_str(), key.size());
        return false;
    }
    std::memcpy(key.data(), bytes.data(), key.size());
    sodium_memzero(bytes.data(), bytes.size());
    return true;
}

void printPublicKey(const PublicKey &key)
{
    std::array<char, 2 * crypto_sign_PUBLICKEYBYTES + 1> hex{};
    sodium_bin2hex(hex.data(), hex.size(), key.data(), key.size());
    std::printf("%s\n", hex.data());
}

// The top of the git work tree holding `path`'s folder, or empty when there is none.
std::string enclosingWorkTree(const std::string &path)
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(std::filesystem::path(path), error).parent_path();
    if (error)
        return {};
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    if (!error)
        folder = canonical;
    for (std::filesystem::path at = folder;; at = at.parent_path()) {
        // A work tree has ".git" at its top: a folder, or a file in a linked work tree.
        if (std::filesystem::exists(at / ".git", error))
            return at.string();
        if (at == at.parent_path())
            return {};
    }
}

// Why a file could not be created, in the user's language (the system's own texts are English).
const char *creationFailure(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return "no tiene permiso para escribir en esa carpeta";
    case ENOENT:
        return "la carpeta no existe";
    case ENOTDIR:
        return "parte de la ruta no es una carpeta";
    case EROFS:
        return "el disco es de solo lectura";
    case ENOSPC:
        return "no queda espacio en el disco";
    case EISDIR:
        return "es una carpeta";
    default:
        return "error del sistema";
    }
}

int keygen(const std::string &path)
{
    const std::string workTree = enclosingWorkTree(path);
    if (!workTree.empty()) {
        std::fprintf(stderr,
                     "No se escribe la clave secreta en %s: está dentro del árbol de trabajo de git %s, donde "
                     "acabaría junto a las fuentes y podría entrar en el repositorio. Escríbala fuera de él, por "
                     "ejemplo en ~/.config/brisanta/release.key.\n",
                     path.c_str(), workTree.c_str());
        return 1;
    }
    PublicKey publicKey{};
    SecretKey secretKey{};
    crypto_sign_keypair(publicKey.data(), secretKey.data());
    // Never over an existing key, and readable by its owner only.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            std::fprintf(stderr,
                         "Ya existe %s: no se escribe una clave nueva encima de ella. Si de verdad quiere otra clave, "
                         "escríbala en otro archivo (las versiones firmadas con la actual solo se instalan con la "
                         "actual).\n",
                         path.c_str());
        else
            std::fprintf(stderr, "No se puede crear %s: %s.\n", path.c_str(), creationFailure(error));
        return 1;
    }
    const bool written = ::write(fd, secretKey.data(), secretKey.size()) == ssize_t(secretKey.size());
    sodium_memzero(secretKey.data(), secretKey.size());
    if (::close(fd) != 0 || !written) {
        std::fprintf(stderr, "No se ha podido escribir %s.\n", path.c_str());
        ::unlink(path.c_str());
        return 1;
    }
    printPublicKey(publicKey);
    return 0;
}

int publicKey(const std::string &path)
{
    SecretKey secretKey{};
    if (!readSecretKey(path, secretKey))
        return 1;
    PublicKey key{};
    crypto_sign_ed25519_sk_to_pk(key.data(), secretKey.data());
    sodium_memzero(secretKey.data(), secretKey.size());
    printPublicKey(key);
    return 0;
}

constexpr const char *kProduct = "Brisanta";

// As the updater reads a version: digits and dots, at most 10 characters.
bool isVersion(const std::string &version)
{
    if (version.empty() || version.size() > 10)
        return false;
    for (const char c : version) {
        if (!((c >= '0' && c <= '9') || c == '.'))
            return false;
    }
    return true;
}

// As the updater reads a file name: letters, digits, ".", "_" and "-", at most 64 characters.
bool isPublishableName(const std::string &name)
{
    if (name.empty() || name.size() > 64)
        return false;
    for (const char c : name) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_'
              || c == '-'))
            return false;
    }
    return true;
}

// The versions a built client says it is (release_marker.h): every marker in its bytes followed by a
// version. A file built by this project carries one; any other file none.
std::set<std::string> carriedVersions(const std::vector<unsigned char> &bytes)
{
    constexpr std::string_view prefix = BRISANTA_RELEASE_MARKER_PREFIX;
    const std::string_view text(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    std::set<std::string> versions;
    for (std::size_t at = text.find(prefix); at != std::string_view::npos; at = text.find(prefix, at + 1)) {
        const std::size_t start = at + prefix.size();
        const std::size_t end = text.find('\0', start);
        if (end == std::string_view::npos)
            break;
        const std::string version(text.substr(start, end - start));
        if (isVersion(version))
            versions.insert(version);
    }
    return versions;
}

std::string baseName(const std::string &path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The statement exactly as the updater reads it: composed by the updater's own code.
QByteArray statementOf(const std::string &name, const std::string &version, const std::vector<unsigned char> &bytes)
{
    return updater::composeStatement(updater::describeRelease(
        QString::fromLatin1(kProduct), QString::fromStdString(name), QString::fromStdString(version),
        QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()))));
}

int sign(const std::string &keyPath, const std::string &version, int count, char **files)
{
    if (!isVersion(version)) {
        std::fprintf(stderr, "La versión \"%s\" no es válida: solo cifras y puntos, hasta 10 caracteres.\n",
                     version.c_str());
        return 2;
    }
    SecretKey secretKey{};
    if (!readSecretKey(keyPath, secretKey))
        return 1;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const std::string file = files[i];
        const std::string name = baseName(file);
        if (!isPublishableName(name)) {
            std::fprintf(stderr, "El nombre de %s no se puede publicar: solo letras, cifras, \".\", \"_\" y "
                                 "\"-\", hasta 64 caracteres.\n",
                         file.c_str());
            ++failures;
            continue;
        }
        std::vector<unsigned char> bytes;
        if (!readFile(file, bytes) || bytes.empty()) {
            std::fprintf(stderr, "No se puede leer %s, o está vacío.\n", file.c_str());
            ++failures;
            continue;
        }
        // A file built as another version would install and then still report, and be offered, as that one.
        const std::set<std::string> carried = carriedVersions(bytes);
        if (carried.empty()) {
            std::fprintf(stderr, "%s no indica su versión: no es un cliente compilado de este proyecto. No se "
                                 "firma.\n",
                         file.c_str());
            ++failures;
            continue;
        }
        if (carried.size() > 1) {
            std::string listed;
            for (const std::string &each : carried)
                listed += (listed.empty() ? "" : ", ") + each;
            std::fprintf(stderr, "%s lleva las marcas de varias versiones (%s): no se sabe cuál es. No se firma.\n",
                         file.c_str(), listed.c_str());
            ++failures;
            continue;
        }
        if (*carried.begin() != version) {
            std::fprintf(stderr, "%s se ha compilado como la versión %s, no como la %s. No se firma: compile la "
                                 "versión que va a publicar (project(... VERSION ...) en CMakeLists.txt).\n",
                         file.c_str(), carried.begin()->c_str(), version.c_str());
            ++failures;
            continue;
        }
        const QByteArray statement = statementOf(name, version, bytes);
        std::array<unsigned char, crypto_sign_BYTES> signature{};
        crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char *>(statement.data()),
                             statement.size(), secretKey.data());
        const std::string signaturePath = file + ".sig";
        std::ofstream out(signaturePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(signature.data()), std::streamsize(signature.size()));
        out.write(statement.constData(), std::streamsize(statement.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "No se puede escribir %s.\n", signaturePath.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", signaturePath.c_str());
    }
    sodium_memzero(secretKey.data(), secretKey.size());
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (sodium_init() < 0) {
        std::fprintf(stderr, "No se puede iniciar libsodium.\n");
        return 1;
    }
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    if (command == "keygen" && argc == 3)
        return keygen(argv[2]);
    if (command == "public-key" && argc == 3)
        return publicKey(argv[2]);
    if (command == "sign" && argc >= 5)
        return sign(argv[2], argv[3], argc - 4, argv + 4);
    return usage();
}
