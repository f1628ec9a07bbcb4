#include "imaging/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "imaging/jpeg_library.h"
#include "imaging/jpeg_metadata.h"
#include "imaging/jpeg_rows.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/files.h"

// libjpeg is driven as imaging/jpeg_library.h describes.

namespace quillora {
namespace {

constexpr int kQuality = 90;
constexpr int kPaletteColours = 236;
// Rows handed to the encoder per call.
constexpr int kBatchRows = 16;
using jpeg_library::DecodedRows;
using jpeg_library::ErrorManager;
using jpeg_library::init_errors;

using jpeg_library::Decompressor;

struct Compressor {
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
};

// ---------------------------------------------------------------------------
// Decoding

enum class DecodeOutput {
    kBgr,        // 24 bits: blue, green, red
    kBgrx,       // 32 bits: blue, green, red, 0
    kQuantised,  // 8 bits, 236 colours or grey levels, Floyd-Steinberg dither
};

// The decoding parameters: full size, accurate integer DCT, smooth
// upsampling, block smoothing, and the output the job wants. CMYK files
// (CMYK or YCCK) give their inks, which the program converts itself.
void set_output(j_decompress_ptr cinfo, DecodeOutput output) noexcept {
    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = TRUE;
    cinfo->do_block_smoothing = TRUE;
    cinfo->quantize_colors = FALSE;
    switch (output) {
        case DecodeOutput::kBgr:
            cinfo->out_color_space = JCS_EXT_BGR;
            break;
        case DecodeOutput::kBgrx:
            cinfo->out_color_space = JCS_EXT_BGRX;
            break;
        case DecodeOutput::kQuantised:
            cinfo->out_color_space =
                cinfo->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
            cinfo->quantize_colors = TRUE;
            cinfo->desired_number_of_colors = kPaletteColours;
            cinfo->dither_mode = JDITHER_FS;
            cinfo->two_pass_quantize = TRUE;  // used for colour; grey is one pass
            break;
    }
    if (jpeg_library::inks_of(cinfo) == JpegInks::kCmyk) {
        cinfo->out_color_space = JCS_CMYK;
        cinfo->quantize_colors = FALSE;
    }
}

struct Header {
    int width = 0, height = 0;
    bool grayscale = false, progressive = false;
    JpegInks inks = JpegInks::kRgb;
    // An APP14 "Adobe" segment: CMYK stored as 255 - ink.
    bool adobe = false;
    // What the library takes to decode into true colour and into 8 bits.
    std::uint64_t memory_true_colour = 0, memory_quantised = 0;
};

// Reads the header of a JPEG file. Returns 0, or the library's message code.
int read_header(Decompressor* d, const std::uint8_t* data, std::size_t size,
                Header* header) noexcept {
    j_decompress_ptr cinfo = &d->cinfo;
    d->prepare();
    if (setjmp(d->errors.jump)) {
        jpeg_destroy_decompress(cinfo);
        return d->errors.pub.msg_code;
    }
    d->open({data, size});
    header->width = static_cast<int>(cinfo->image_width);
    header->height = static_cast<int>(cinfo->image_height);
    header->grayscale = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    header->inks = jpeg_library::inks_of(cinfo);
    header->adobe = cinfo->saw_Adobe_marker != FALSE;
    header->progressive = jpeg_has_multiple_scans(cinfo) != FALSE;
    set_output(cinfo, DecodeOutput::kBgrx);
    header->memory_true_colour = jpeg_library::library_memory(cinfo);
    set_output(cinfo, DecodeOutput::kQuantised);
    header->memory_quantised = jpeg_library::library_memory(cinfo);
    jpeg_destroy_decompress(cinfo);
    return 0;
}

struct DecodeJob {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    DecodeOutput output = DecodeOutput::kBgr;
    DecodedRows* rows = nullptr;
    // The size the file is stored at.
    int width = 0, height = 0;
    // The bytes of the bitmap decoded into, counted with the library's own.
    std::uint64_t bitmap_bytes = 0;
    // The palette of quantised output.
    Rgbq palette[256];
    int colours = 0;
};

// Decodes a whole JPEG file into the job's rows. Returns 0, or the library's
// message code.
int run_decode(Decompressor* d, DecodeJob* job) noexcept {
    j_decompress_ptr cinfo = &d->cinfo;
    d->prepare();
    if (setjmp(d->errors.jump)) {
        jpeg_destroy_decompress(cinfo);
        return d->errors.pub.msg_code;
    }
    d->open({job->data, job->size});
    d->refuse_scan_bombs({job->data, job->size});
    set_output(cinfo, job->output);
    jpeg_library::limit_memory(cinfo, job->bitmap_bytes);
    jpeg_start_decompress(cinfo);
    // The caller sized the rows from the same header.
    if (cinfo->output_width != static_cast<JDIMENSION>(job->width) ||
        cinfo->output_height != static_cast<JDIMENSION>(job->height)) {
        ERREXIT(cinfo, JERR_NOTIMPL);
    }
    if (job->output == DecodeOutput::kQuantised) {
        job->colours = std::min(cinfo->actual_number_of_colors, 256);
        bool grey = cinfo->out_color_components == 1;
        for (int i = 0; i < job->colours; ++i) {
            Rgbq& entry = job->palette[i];
            entry.red = cinfo->colormap[0][i];
            entry.green = grey ? entry.red : cinfo->colormap[1][i];
            entry.blue = grey ? entry.red : cinfo->colormap[2][i];
            entry.reserved = 0;
        }
    }
    while (cinfo->output_scanline < cinfo->output_height)
        job->rows->read_batch(cinfo);
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return 0;
}

// ---------------------------------------------------------------------------
// Encoding

// The compressed bytes, in a chain of blocks: the first sized from an
// estimate, each further one as large as all before it, so the output never
// moves once written and its blocks are at most twice its size.
struct Block {
    Block* next;
    std::size_t capacity;
    std::size_t used;
    std::uint8_t* bytes() noexcept { return reinterpret_cast<std::uint8_t*>(this + 1); }
};

Block* new_block(std::size_t capacity) noexcept {
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + capacity));
    if (block)
        *block = Block{nullptr, capacity, 0};
    return block;
}

struct Destination {
    jpeg_destination_mgr pub;  // first, so the library's pointer converts back
    Block* head;
    Block* tail;
    std::size_t total;  // bytes in the blocks before the tail
};

void on_init_destination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->tail->bytes();
    dest->pub.free_in_buffer = dest->tail->capacity;
}

// The tail block is full: chain a new one.
boolean on_empty_output_buffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->tail->used = dest->tail->capacity;
    dest->total += dest->tail->used;
    Block* block = new_block(dest->total);
    if (!block)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
    dest->tail->next = block;
    dest->tail = block;
    dest->pub.next_output_byte = block->bytes();
    dest->pub.free_in_buffer = block->capacity;
    return TRUE;
}

void on_term_destination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->tail->used = dest->tail->capacity - dest->pub.free_in_buffer;
}

// Owns the blocks of a destination.
class Output {
  public:
    explicit Output(std::size_t first_capacity) {
        dest_.pub.init_destination = on_init_destination;
        dest_.pub.empty_output_buffer = on_empty_output_buffer;
        dest_.pub.term_destination = on_term_destination;
        dest_.head = dest_.tail = new_block(first_capacity);
        dest_.total = 0;
        if (!dest_.head)
            throw Error(std::string(kOutOfResources));
    }
    ~Output() {
        for (Block* block = dest_.head; block;) {
            Block* next = block->next;
            std::free(block);
            block = next;
        }
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    Destination* destination() noexcept { return &dest_; }
    std::size_t size() const noexcept { return dest_.total + dest_.tail->used; }
    template <typename F>
    void for_each_block(F&& f) const {
        for (Block* block = dest_.head; block; block = block->next) {
            if (block->used > 0)
                f(block->bytes(), block->used);
        }
    }

  private:
    Destination dest_{};
};

struct EncodeJob {
    const Bitmap* bitmap = nullptr;
    Destination* destination = nullptr;
    // Rows go to the library as they are stored (kBgr, kBgrx) or converted
    // to blue, green, red one at a time into row_buffer.
    J_COLOR_SPACE in_space = JCS_EXT_BGR;
    int components = 3;
    bool direct = false;
    std::uint8_t* row_buffer = nullptr;
    // A failure of the row conversion, raised again after the library is done.
    std::exception_ptr conversion_failure;
};

bool convert_row(EncodeJob* job, int y) noexcept {
    try {
        row_to_bgr(*job->bitmap, y, job->row_buffer);
        return true;
    } catch (...) {
        job->conversion_failure = std::current_exception();
        return false;
    }
}

// Compresses the whole bitmap. Returns 0, or the library's message code.
int run_encode(Compressor* c, EncodeJob* job) noexcept {
    j_compress_ptr cinfo = &c->cinfo;
    init_errors(c->errors);
    cinfo->err = &c->errors.pub;
    if (setjmp(c->errors.jump)) {
        jpeg_destroy_compress(cinfo);
        return c->errors.pub.msg_code;
    }
    jpeg_create_compress(cinfo);
    cinfo->dest = &job->destination->pub;
    const Bitmap& bitmap = *job->bitmap;
    cinfo->image_width = static_cast<JDIMENSION>(bitmap.width());
    cinfo->image_height = static_cast<JDIMENSION>(bitmap.height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, kQuality, TRUE);
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->optimize_coding = FALSE;
    // The same components in the order the rows hold them.
    cinfo->in_color_space = job->in_space;
    cinfo->input_components = job->components;
    jpeg_start_compress(cinfo, TRUE);

    JSAMPROW rows[kBatchRows];
    while (cinfo->next_scanline < cinfo->image_height) {
        int first = static_cast<int>(cinfo->next_scanline);
        if (job->direct) {
            int count = std::min(kBatchRows, bitmap.height() - first);
            for (int i = 0; i < count; ++i) {
                rows[i] = const_cast<JSAMPROW>(bitmap.row(first + i));
            }
            jpeg_write_scanlines(cinfo, rows, static_cast<JDIMENSION>(count));
        } else {
            if (!convert_row(job, first))
                ERREXIT(cinfo, JERR_NOTIMPL);
            rows[0] = job->row_buffer;
            jpeg_write_scanlines(cinfo, rows, 1);
        }
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return 0;
}

// A first block that holds the file of a photograph: 4 bits per pixel is
// more than quality 90 gives for all but noise. Pages never written cost
// nothing, so erring on the large side is cheap.
std::size_t estimated_size(int width, int height) noexcept {
    constexpr std::size_t kHeaders = 4096;
    constexpr std::size_t kMaximum = std::size_t{256} << 20;
    std::size_t pixels = static_cast<std::size_t>(std::max(width, 0)) *
                         static_cast<std::size_t>(std::max(height, 0));
    return std::min(pixels / 2 + kHeaders, kMaximum);
}

std::unique_ptr<Output> compress(const Bitmap& bitmap) {
    auto output = std::make_unique<Output>(estimated_size(bitmap.width(), bitmap.height()));
    EncodeJob job;
    job.bitmap = &bitmap;
    job.destination = output->destination();
    std::unique_ptr<std::uint8_t[]> row_buffer;
    if (bitmap.bpp() == 32 && bitmap.has_default_masks()) {
        job.in_space = JCS_EXT_BGRX;
        job.components = 4;
        job.direct = true;
    } else if (bitmap.bpp() == 24 && bitmap.has_default_masks()) {
        job.in_space = JCS_EXT_BGR;
        job.components = 3;
        job.direct = true;
    } else {
        row_buffer = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(bitmap.width()) * 3);
        job.row_buffer = row_buffer.get();
    }
    Compressor compressor;
    int code = run_encode(&compressor, &job);
    if (job.conversion_failure)
        std::rethrow_exception(job.conversion_failure);
    if (code != 0)
        jpeg_library::fail(code);
    return output;
}

}  // namespace

// ---------------------------------------------------------------------------

JpegPicture::JpegPicture(std::vector<std::uint8_t> data) : data_(std::move(data)) {
    if (data_.empty())
        return;
    Header header;
    Decompressor decompressor;
    if (int code = read_header(&decompressor, data_.data(), data_.size(), &header); code != 0) {
        jpeg_library::fail(code);
    }
    JpegMetadata metadata = read_jpeg_metadata(data_);
    stored_width_ = header.width;
    stored_height_ = header.height;
    orientation_ = metadata.orientation;
    const bool swapped = swaps_sides(orientation_);
    width_ = swapped ? header.height : header.width;
    height_ = swapped ? header.width : header.height;
    grayscale_ = header.grayscale;
    progressive_ = header.progressive;
    inks_ = header.inks;
    adobe_ = header.adobe;
    profile_ = std::move(metadata.profile);
    memory_true_colour_ = header.memory_true_colour;
    memory_quantised_ = header.memory_quantised;
}

JpegPicture JpegPicture::read(const std::string& path) {
    return JpegPicture(files::read_file(path));
}

bool JpegPicture::quantised() const noexcept {
    // The library quantises grey and RGB pixels; CMYK pictures are converted
    // by the program and drawn like any true-colour bitmap.
    return grayscale_ || (display::startup_depth() <= 8 && inks_ != JpegInks::kCmyk);
}

bool JpegPicture::decodes_straight_into(int width, int height, int bpp,
                                        bool default_masks) const noexcept {
    return !decoded_ && !data_.empty() && !quantised() && width == width_ && height == height_ &&
           (bpp == 32 || bpp == 24) && default_masks;
}

std::uint64_t JpegPicture::draw_memory(int target_width, int target_height,
                                       int target_bpp) const noexcept {
    if (decoded_ || data_.empty())
        return 0;
    const bool eight = quantised();
    const std::uint64_t decoding = (eight ? memory_quantised_ : memory_true_colour_) +
                                   DecodedRows::memory(stored_width_) +
                                   ColourConversion::memory(profile_);
    if (decodes_straight_into(target_width, target_height, target_bpp, true))
        return decoding;
    return Bitmap::bytes_for(width_, height_, eight ? 8 : 24) + decoding;
}

void JpegPicture::decode_into(Bitmap& target, bool quantise) const {
    DecodeJob job;
    job.data = data_.data();
    job.size = data_.size();
    job.output = quantise             ? DecodeOutput::kQuantised
                 : target.bpp() == 32 ? DecodeOutput::kBgrx
                                      : DecodeOutput::kBgr;
    job.width = stored_width_;
    job.height = stored_height_;
    job.bitmap_bytes = target.bits_size();
    // Quantised pictures convert their palette, not their pixels.
    const auto colour =
        ColourConversion::make(inks_, adobe_, profile_, quantise ? 4 : target.bpp() / 8);
    const int in_bytes = quantise ? 1 : inks_ == JpegInks::kCmyk ? 4 : target.bpp() / 8;
    DecodedRows rows(target, stored_width_, stored_height_, orientation_, in_bytes,
                     quantise ? nullptr : colour.get());
    job.rows = &rows;
    Decompressor decompressor;
    if (int code = run_decode(&decompressor, &job); code != 0)
        jpeg_library::fail(code);
    if (quantise) {
        if (colour) {
            colour->convert(reinterpret_cast<const std::uint8_t*>(job.palette),
                            reinterpret_cast<std::uint8_t*>(job.palette), job.colours);
        }
        target.palette().assign(job.palette, job.palette + job.colours);
    }
}

const Bitmap& JpegPicture::decoded() {
    if (!decoded_) {
        const bool eight = quantised();
        // Refused before the bitmap is allocated; the decoder checks again.
        const std::uint64_t bitmap_bytes = Bitmap::bytes_for(width_, height_, eight ? 8 : 24);
        const std::uint64_t library = eight ? memory_quantised_ : memory_true_colour_;
        if (bitmap_bytes > kMaxPixelBytes || library > kMaxPixelBytes - bitmap_bytes)
            throw Error(std::string(kOutOfResources));
        // An empty file has no size; the library refuses it before any row.
        Bitmap bitmap = data_.empty() ? Bitmap() : Bitmap(width_, height_, eight ? 8 : 24, true);
        decode_into(bitmap, eight);
        bitmap_ = std::move(bitmap);
        decoded_ = true;
    }
    return bitmap_;
}

void JpegPicture::draw(Bitmap& target) {
    if (decodes_straight_into(target.width(), target.height(), target.bpp(),
                              target.has_default_masks())) {
        decode_into(target, false);
        return;
    }
    quillora::draw(decoded(), target);
}

std::uint64_t encode_jpeg_memory(int width, int height) noexcept {
    if (width <= 0 || height <= 0)
        return 0;
    // The library keeps a band of 16 rows of three components, twice over
    // (colour conversion and downsampling), plus its tables.
    const std::uint64_t row = std::uint64_t{static_cast<unsigned>(width)} * 3;
    return estimated_size(width, height) + row + row * 16 * 2 + (std::uint64_t{1} << 20);
}

std::vector<std::uint8_t> encode_jpeg(const Bitmap& bitmap) {
    std::vector<std::uint8_t> bytes;
    if (bitmap.empty())
        return bytes;
    auto output = compress(bitmap);
    bytes.resize(output->size());
    std::size_t at = 0;
    output->for_each_block([&](const std::uint8_t* data, std::size_t n) {
        std::memcpy(bytes.data() + at, data, n);
        at += n;
    });
    return bytes;
}

void encode_jpeg(const Bitmap& bitmap, const std::string& path, const std::string& source) {
    files::OutputFile file(path, source);
    if (!bitmap.empty()) {
        auto output = compress(bitmap);
        output->for_each_block(
            [&](const std::uint8_t* data, std::size_t n) { file.write(data, n); });
    }
    file.commit();
}

}  // namespace quillora
