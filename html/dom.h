// The DOM of the HTML unit: include this one header.
#pragma once

#include "html/dom_attr.h"
#include "html/dom_character_data.h"
#include "html/dom_document.h"
#include "html/dom_document_type.h"
#include "html/dom_element.h"
#include "html/dom_entity_reference.h"
#include "html/dom_exception.h"
#include "html/dom_named_node_map.h"
#include "html/dom_namespace_list.h"
#include "html/dom_node.h"
#include "html/dom_node_list.h"
#include "html/dom_processing_instruction.h"
#include "html/dom_search_node_list.h"
