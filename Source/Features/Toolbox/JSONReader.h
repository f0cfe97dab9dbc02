#pragma once

#include "Source/Features/Toolbox/JSONTool.h"

#include <string>
#include <utility>
#include <vector>

// The library's event reader with one difference: a number beyond a double's range (1E400, 1e309)
// is valid JSON and is handed on as an infinite float with its text, where the library's reader
// stops with "number overflow". Every other event, error and error message is the library's.
namespace JSONReader {

// Reads one value from `input` to its end, calling the handler's events as the library's sax_parse
// does (strict: only white space may follow the value). False when the text is not JSON or a
// handler gave up.
template <typename Input, typename Handler>
bool read(Input&& input, Handler* handler) {
    using Lexer = nlohmann::detail::lexer<JSONValue, std::decay_t<Input>>;
    using Token = typename Lexer::token_type;
    Lexer lexer(std::forward<Input>(input), false);
    Token token = lexer.scan();

    const auto fail = [&](Token expected, const char* context) {
        std::string message = std::string("syntax error while parsing ") + context + " - ";
        if (token == Token::parse_error)
            message += std::string(lexer.get_error_message()) + "; last read: '" + lexer.get_token_string() + '\'';
        else
            message += std::string("unexpected ") + Lexer::token_type_name(token);
        if (expected != Token::uninitialized) message += std::string("; expected ") + Lexer::token_type_name(expected);
        return handler->parse_error(lexer.get_position(), lexer.get_token_string(),
                                    nlohmann::detail::parse_error::create(101, lexer.get_position(), message, nullptr));
    };
    // A member's name and its colon; `token` is then the first token of its value.
    const auto member = [&] {
        if (token != Token::value_string) return fail(Token::value_string, "object key");
        if (!handler->key(lexer.get_string())) return false;
        if ((token = lexer.scan()) != Token::name_separator) return fail(Token::name_separator, "object separator");
        token = lexer.scan();
        return true;
    };

    std::vector<bool> inArray;  // the open containers, innermost last
    while (true) {
        // A value starts at `token`.
        switch (token) {
        case Token::begin_object:
            if (!handler->start_object(std::size_t(-1))) return false;
            if ((token = lexer.scan()) == Token::end_object) {
                if (!handler->end_object()) return false;
                break;
            }
            if (!member()) return false;
            inArray.push_back(false);
            continue;
        case Token::begin_array:
            if (!handler->start_array(std::size_t(-1))) return false;
            if ((token = lexer.scan()) == Token::end_array) {
                if (!handler->end_array()) return false;
                break;
            }
            inArray.push_back(true);
            continue;
        case Token::value_float:
            if (!handler->number_float(lexer.get_number_float(), lexer.get_string())) return false;
            break;
        case Token::value_integer:
            if (!handler->number_integer(lexer.get_number_integer())) return false;
            break;
        case Token::value_unsigned:
            if (!handler->number_unsigned(lexer.get_number_unsigned())) return false;
            break;
        case Token::value_string:
            if (!handler->string(lexer.get_string())) return false;
            break;
        case Token::literal_true:
            if (!handler->boolean(true)) return false;
            break;
        case Token::literal_false:
            if (!handler->boolean(false)) return false;
            break;
        case Token::literal_null:
            if (!handler->null()) return false;
            break;
        case Token::parse_error: return fail(Token::uninitialized, "value");
        default: return fail(Token::literal_or_value, "value");
        }
        // A value has ended: close what it ends, then the next value or the end of the text.
        while (true) {
            token = lexer.scan();
            if (inArray.empty()) return token == Token::end_of_input || fail(Token::end_of_input, "value");
            if (token == Token::value_separator) {
                token = lexer.scan();
                if (!inArray.back() && !member()) return false;
                break;
            }
            const bool array = inArray.back();
            if (token != (array ? Token::end_array : Token::end_object))
                return fail(array ? Token::end_array : Token::end_object, array ? "array" : "object");
            if (!(array ? handler->end_array() : handler->end_object())) return false;
            inArray.pop_back();
        }
    }
}

}  // namespace JSONReader
