// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/des.h"

#include <bit>
#include <cstring>

#include "crypto/burn.h"

namespace voltare::crypto {
namespace {

// ---------------------------------------------------------------------------
// The published tables. Bit numbers are 1-based, bit 1 being the most
// significant bit, as in the standard.

// clang-format off
constexpr std::uint8_t kPc1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::uint8_t kPc2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
    26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
    51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};
// clang-format on

// ---------------------------------------------------------------------------
// Working representation of the round function.
//
// A 32-bit half is held rotated left by one bit (DES bit i of the half at word
// bit (32 - i + 1) mod 32). Then the six expanded input bits of every S-box
// lie side by side: S8, S6, S4, S2 in bits 0-5, 8-13, 16-21, 24-29 of the half
// itself, and S7, S5, S3, S1 at the same places of the half rotated right by
// four. Each round key is stored as those two words, and the combined tables
// map an S-box input straight to its contribution after P, in the same
// rotated form.

// 0-based S-box numbers whose inputs sit at bits 0, 8, 16 and 24 of the half
// rotated right by four, and of the half itself.
constexpr int kRotatedHalfBoxes[4] = {6, 4, 2, 0};
constexpr int kHalfBoxes[4] = {7, 5, 3, 1};

constexpr std::uint32_t DesBit32(int des_bit) { return std::uint32_t{1} << (32 - des_bit); }

using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;

constexpr SpTables MakeSpTables() {
  SpTables tables{};
  for (int box = 0; box < 8; ++box) {
    for (int input = 0; input < 64; ++input) {
      const int row = ((input >> 4) & 2) | (input & 1);
      const int column = (input >> 1) & 15;
      const int value = kSBoxes[box][row][column];
      // The S-box output occupies DES bits 4*box+1 .. 4*box+4 before P.
      std::uint32_t before_p = 0;
      for (int k = 0; k < 4; ++k) {
        if ((value >> (3 - k)) & 1) before_p |= DesBit32(4 * box + 1 + k);
      }
      std::uint32_t after_p = 0;
      for (int i = 0; i < 32; ++i) {
        if (before_p & DesBit32(kP[i])) after_p |= DesBit32(i + 1);
      }
      tables[box][input] = std::rotl(after_p, 1);
    }
  }
  return tables;
}

constexpr SpTables kSp = MakeSpTables();

inline std::uint32_t Feistel(std::uint32_t half, std::uint32_t key_rotated, std::uint32_t key_plain) noexcept {
  const std::uint32_t a = std::rotr(half, 4) ^ key_rotated;
  const std::uint32_t b = half ^ key_plain;
  return kSp[6][a & 63] ^ kSp[4][(a >> 8) & 63] ^ kSp[2][(a >> 16) & 63] ^ kSp[0][(a >> 24) & 63] ^ kSp[7][b & 63] ^
         kSp[5][(b >> 8) & 63] ^ kSp[3][(b >> 16) & 63] ^ kSp[1][(b >> 24) & 63];
}

// Exchanges the bits of `a` selected by `mask << shift` with the bits of `b`
// selected by `mask`.
inline void SwapMove(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) noexcept {
  const std::uint32_t t = ((a >> shift) ^ b) & mask;
  b ^= t;
  a ^= t << shift;
}

// The initial permutation by five bit-group exchanges; left and right are the
// high and low halves of the block on entry and the two permuted halves on exit.
inline void InitialPermutation(std::uint32_t& left, std::uint32_t& right) noexcept {
  SwapMove(left, right, 4, 0x0f0f0f0f);
  SwapMove(left, right, 16, 0x0000ffff);
  SwapMove(right, left, 2, 0x33333333);
  SwapMove(right, left, 8, 0x00ff00ff);
  SwapMove(left, right, 1, 0x55555555);
}

// The same exchanges in reverse order undo the initial permutation.
inline void FinalPermutation(std::uint32_t& left, std::uint32_t& right) noexcept {
  SwapMove(left, right, 1, 0x55555555);
  SwapMove(right, left, 8, 0x00ff00ff);
  SwapMove(right, left, 2, 0x33333333);
  SwapMove(left, right, 16, 0x0000ffff);
  SwapMove(left, right, 4, 0x0f0f0f0f);
}

template <typename RoundKeys>
inline std::uint64_t Crypt(std::uint64_t block, const RoundKeys& keys) noexcept {
  std::uint32_t left = static_cast<std::uint32_t>(block >> 32);
  std::uint32_t right = static_cast<std::uint32_t>(block);
  InitialPermutation(left, right);
  left = std::rotl(left, 1);
  right = std::rotl(right, 1);
  for (std::size_t round = 0; round < keys.size(); round += 4) {
    left ^= Feistel(right, keys[round], keys[round + 1]);
    right ^= Feistel(left, keys[round + 2], keys[round + 3]);
  }
  // The last round does not exchange the halves.
  std::uint32_t high = std::rotr(right, 1);
  std::uint32_t low = std::rotr(left, 1);
  FinalPermutation(high, low);
  return (std::uint64_t{high} << 32) | low;
}

inline std::uint64_t LoadLittleEndian(const std::uint8_t* bytes) noexcept {
  std::uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  if constexpr (std::endian::native == std::endian::big) {
    value = __builtin_bswap64(value);
  }
  return value;
}

inline void StoreLittleEndian(std::uint64_t value, std::uint8_t* bytes) noexcept {
  if constexpr (std::endian::native == std::endian::big) {
    value = __builtin_bswap64(value);
  }
  std::memcpy(bytes, &value, sizeof value);
}

template <typename RoundKeys>
inline void CryptBlocks(std::span<std::uint8_t> blocks, const RoundKeys& keys) noexcept {
  std::uint8_t* data = blocks.data();
  for (std::size_t n = blocks.size() / TDESCipher::kBlockSize; n > 0; --n) {
    StoreLittleEndian(Crypt(LoadLittleEndian(data), keys), data);
    data += TDESCipher::kBlockSize;
  }
}

// ---------------------------------------------------------------------------
// Key schedule, done bit by bit: it runs once per key.

constexpr std::uint64_t DesBit64(int des_bit) { return std::uint64_t{1} << (64 - des_bit); }

// The 48-bit round key of each round, DES bit 1 as bit 47.
std::array<std::uint64_t, 16> RoundKeys48(std::uint64_t key) {
  std::uint32_t c = 0;
  std::uint32_t d = 0;
  for (int i = 0; i < 28; ++i) {
    if (key & DesBit64(kPc1[i])) c |= std::uint32_t{1} << (27 - i);
    if (key & DesBit64(kPc1[28 + i])) d |= std::uint32_t{1} << (27 - i);
  }
  const auto rotate28 = [](std::uint32_t half, int count) {
    return ((half << count) | (half >> (28 - count))) & 0x0fffffff;
  };
  std::array<std::uint64_t, 16> round_keys{};
  for (int round = 0; round < 16; ++round) {
    c = rotate28(c, kRotations[round]);
    d = rotate28(d, kRotations[round]);
    const std::uint64_t cd = (std::uint64_t{c} << 28) | d;  // 56 bits, bit 1 as bit 55
    std::uint64_t k = 0;
    for (int i = 0; i < 48; ++i) {
      if ((cd >> (56 - kPc2[i])) & 1) k |= std::uint64_t{1} << (47 - i);
    }
    round_keys[round] = k;
  }
  BurnBytes(&c, sizeof c);
  BurnBytes(&d, sizeof d);
  return round_keys;
}

// The 6 key bits that meet S-box `box` (0-based) in a 48-bit round key.
constexpr std::uint32_t SubKey(std::uint64_t round_key, int box) {
  return static_cast<std::uint32_t>(round_key >> (42 - 6 * box)) & 63;
}

std::uint32_t PackSubKeys(std::uint64_t round_key, const int (&boxes)[4]) {
  std::uint32_t word = 0;
  for (int slot = 0; slot < 4; ++slot) word |= SubKey(round_key, boxes[slot]) << (8 * slot);
  return word;
}

}  // namespace

// ---------------------------------------------------------------------------

TDESCipher::TDESCipher(std::uint64_t key) { CreateKeySchedule(key); }

TDESCipher::~TDESCipher() {
  Burn(schedule_->encrypt_keys);
  Burn(schedule_->decrypt_keys);
}

void TDESCipher::CreateKeySchedule(std::uint64_t key) {
  auto round_keys = RoundKeys48(key);
  for (int round = 0; round < kRounds; ++round) {
    const auto rotated = PackSubKeys(round_keys[round], kRotatedHalfBoxes);
    const auto plain = PackSubKeys(round_keys[round], kHalfBoxes);
    schedule_->encrypt_keys[2 * round] = rotated;
    schedule_->encrypt_keys[2 * round + 1] = plain;
    schedule_->decrypt_keys[2 * (kRounds - 1 - round)] = rotated;
    schedule_->decrypt_keys[2 * (kRounds - 1 - round) + 1] = plain;
  }
  Burn(round_keys);
}

std::uint64_t TDESCipher::EncryptedBlock(std::uint64_t block) const noexcept {
  return Crypt(block, schedule_->encrypt_keys);
}

std::uint64_t TDESCipher::DecryptedBlock(std::uint64_t block) const noexcept {
  return Crypt(block, schedule_->decrypt_keys);
}

void TDESCipher::EncryptBlock(std::span<std::uint8_t, kBlockSize> block) const noexcept {
  StoreLittleEndian(Crypt(LoadLittleEndian(block.data()), schedule_->encrypt_keys), block.data());
}

void TDESCipher::DecryptBlock(std::span<std::uint8_t, kBlockSize> block) const noexcept {
  StoreLittleEndian(Crypt(LoadLittleEndian(block.data()), schedule_->decrypt_keys), block.data());
}

void TDESCipher::EncryptBlocks(std::span<std::uint8_t> blocks) const noexcept {
  CryptBlocks(blocks, schedule_->encrypt_keys);
}

void TDESCipher::DecryptBlocks(std::span<std::uint8_t> blocks) const noexcept {
  CryptBlocks(blocks, schedule_->decrypt_keys);
}

// ---------------------------------------------------------------------------
// Byte strings and streams, with padding.

namespace {

constexpr const char* kDecryptStreamLengthError = "DecryptStream: Ciphertext is not a multiple of 8 bytes.";
constexpr const char* kDecryptStringLengthError = "DecryptedString: Ciphertext is not a multiple of 8 bytes.";

std::span<std::uint8_t> BytesOf(std::string& text) noexcept {
  return {reinterpret_cast<std::uint8_t*>(text.data()), text.size()};
}

// Number of pad bytes (1..8) that complete `length` bytes to whole blocks.
std::uint8_t PadCount(std::uint64_t length) noexcept {
  return static_cast<std::uint8_t>(TDESCipher::kBlockSize - length % TDESCipher::kBlockSize);
}

// How many bytes of the decrypted last block are data: a pad count above 8
// (only seen with a wrong key or damaged data) leaves none.
std::size_t DataBytesInLastBlock(std::span<const std::uint8_t, TDESCipher::kBlockSize> block) {
  const std::uint8_t pad = block[TDESCipher::kBlockSize - 1];
  return pad > TDESCipher::kBlockSize ? 0 : TDESCipher::kBlockSize - pad;
}

void StartProgress(common::Progress* progress, std::uint64_t total) {
  if (progress == nullptr) return;
  progress->setPosition(0);
  progress->setMax(static_cast<std::int64_t>(total));
}

void AdvanceProgress(common::Progress* progress) {
  if (progress == nullptr) return;
  progress->setPosition(progress->position() + static_cast<std::int64_t>(TDESCipher::kPieceSize));
  progress->repaint();
  common::StopIfCancelled(progress);
}

using Piece = std::array<std::uint8_t, TDESCipher::kPieceSize>;

}  // namespace

std::string TDESCipher::EncryptedString(std::string_view text) const {
  std::string result(text);
  result.append(PadCount(text.size()), static_cast<char>(PadCount(text.size())));
  EncryptBlocks(BytesOf(result));
  return result;
}

std::string TDESCipher::DecryptedString(std::string_view text) const {
  if (text.empty() || text.size() % kBlockSize != 0) throw CipherError(kDecryptStringLengthError);
  const std::size_t whole_blocks = text.size() - kBlockSize;

  std::array<std::uint8_t, kBlockSize> last{};
  BurnOnExit burn_last(last);
  std::memcpy(last.data(), text.data() + whole_blocks, kBlockSize);
  DecryptBlock(last);

  std::string result(text.substr(0, whole_blocks));
  DecryptBlocks(BytesOf(result));
  result.append(reinterpret_cast<const char*>(last.data()), DataBytesInLastBlock(last));
  return result;
}

void TDESCipher::EncryptStream(ByteSource& source, ByteSink& destination, common::Progress* progress) const {
  const std::uint64_t total = source.Remaining();
  StartProgress(progress, total);

  Piece piece{};
  BurnOnExit burn_piece(piece);
  for (std::uint64_t n = total / kPieceSize; n > 0; --n) {
    source.ReadExactly(piece);
    EncryptBlocks(piece);
    destination.Write(piece);
    AdvanceProgress(progress);
  }

  // The tail (possibly empty) plus its padding always fits in one piece.
  const std::size_t tail = total % kPieceSize;
  const std::uint8_t pad = PadCount(tail);
  source.ReadExactly(std::span(piece).first(tail));
  std::memset(piece.data() + tail, pad, pad);
  EncryptBlocks(std::span(piece).first(tail + pad));
  destination.Write(std::span(piece).first(tail + pad));
}

void TDESCipher::DecryptStream(ByteSource& source, ByteSink& destination, common::Progress* progress) const {
  const std::uint64_t total = source.Remaining();
  if (total == 0 || total % kBlockSize != 0) throw CipherError(kDecryptStreamLengthError);
  StartProgress(progress, total);

  Piece piece{};
  BurnOnExit burn_piece(piece);
  const std::size_t tail = total % kPieceSize;
  const std::uint64_t whole_pieces = total / kPieceSize;
  // Everything but the last block of the ciphertext is written as it comes;
  // the last block decides through its pad count how much of it is data.
  std::size_t last_piece_size = tail;
  for (std::uint64_t n = whole_pieces; n > 0; --n) {
    source.ReadExactly(piece);
    DecryptBlocks(piece);
    const bool holds_last_block = n == 1 && tail == 0;
    destination.Write(std::span(piece).first(holds_last_block ? kPieceSize - kBlockSize : kPieceSize));
    if (holds_last_block) last_piece_size = kPieceSize;
    AdvanceProgress(progress);
  }
  if (tail != 0) {
    source.ReadExactly(std::span(piece).first(tail));
    DecryptBlocks(std::span(piece).first(tail));
    destination.Write(std::span(piece).first(tail - kBlockSize));
  }

  const auto last_block = std::span(piece).subspan(last_piece_size - kBlockSize).first<kBlockSize>();
  destination.Write(last_block.first(DataBytesInLastBlock(last_block)));
}

}  // namespace voltare::crypto
