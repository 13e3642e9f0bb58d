#include "host/request_body.h"

#include <restinio/helpers/http_field_parsers/content-disposition.hpp>
#include <restinio/helpers/http_field_parsers/content-type.hpp>
#include <restinio/helpers/multipart_body.hpp>

#include "frame/text.h"
#include "host/gbk.h"

namespace tovi::host {
namespace {

namespace hfp = restinio::http_field_parsers;
namespace mb = restinio::multipart_body;

// The form-data parts of a multipart body split at `boundary`.
void readMultipart(std::string_view body, std::string_view boundary, PostedForm& form) {
  if (mb::check_boundary_value(boundary)) return;
  for (std::string_view raw : mb::split_multipart_body(body, "--" + std::string(boundary))) {
    auto part = mb::try_parse_part(raw);
    if (!part) return;
    auto disposition = part->fields.opt_value_of(restinio::http_field::content_disposition);
    if (!disposition) continue;
    auto parsed = hfp::content_disposition_value_t::try_parse(*disposition);
    if (!parsed || !frame::iequals(parsed->value, "form-data")) continue;
    auto name = hfp::find_first(parsed->parameters, "name");
    if (!name) continue;
    if (auto fileName = hfp::find_first(parsed->parameters, "filename")) {
      frame::UploadedFile f;
      f.field = fromGbk(*name);
      f.fileName = fromGbk(*fileName);
      f.contentType = std::string(part->fields.get_field_or(restinio::http_field::content_type, ""));
      f.bytes = std::string(part->body);
      form.files.push_back(std::move(f));
    } else {
      form.fields.emplace_back(fromGbk(*name), fromGbk(part->body));
    }
  }
}

}  // namespace

PostedForm parseForm(std::string_view contentType, std::string_view body) {
  PostedForm form;
  if (body.empty()) return form;
  auto parsed = hfp::content_type_value_t::try_parse(contentType);
  if (parsed && frame::iequals(parsed->media_type.type, "multipart")) {
    if (!frame::iequals(parsed->media_type.subtype, "form-data")) return form;
    if (auto boundary = hfp::find_first(parsed->media_type.parameters, "boundary"))
      readMultipart(body, *boundary, form);
    return form;
  }
  if (!contentType.empty() && !(parsed && frame::iequals(parsed->media_type.subtype, "x-www-form-urlencoded")))
    return form;
  form.fields = parsePairs(body);
  return form;
}

}  // namespace tovi::host
