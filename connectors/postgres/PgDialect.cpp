#include "PgDialect.hpp"

#include "SqlText.hpp"
#include "TableMapping.hpp"

std::string PgDialect::jsonArray(const std::vector<std::string>& items) const {
  std::string out = "array_to_json(ARRAY[";
  for (size_t i = 0; i < items.size(); i++) out += (i > 0 ? ", " : "") + items[i] + "::text";
  return out + "]::text[])::text";
}

const char* PgDialect::createSharedSql() {
  // A write of a top-level row records (type, verb, keys); a write of a child row records an
  // "Update" of its top-level object unless an event of that object is pending and free. One
  // that a poll has claimed (locked) does not count: the poll may have read the tree already, so
  // the write gets an event of its own. The keys are the trigger's arguments (the key columns in
  // order), so the function serves every table; only a top-level row's keys are read by name
  // (through to_jsonb), the link columns every table has are read directly.
  return "CREATE TABLE IF NOT EXISTS vy_event (id bigserial PRIMARY KEY, type text NOT NULL,"
         " verb text NOT NULL, key text NOT NULL);"
         "CREATE INDEX IF NOT EXISTS vy_event_object ON vy_event (type, key, id);"
         "CREATE TABLE IF NOT EXISTS vy_key_sequence (name text PRIMARY KEY, last bigint NOT NULL);"
         "CREATE OR REPLACE FUNCTION vy_record_event() RETURNS trigger LANGUAGE plpgsql AS $body$\n"
         "DECLARE\n"
         "  r record;\n"
         "  k text[];\n"
         "BEGIN\n"
         "  IF TG_OP = 'DELETE' THEN r := OLD; ELSE r := NEW; END IF;\n"
         "  IF r.vy_parent_type = '' THEN\n"
         "    SELECT coalesce(array_agg(j ->> c ORDER BY n), ARRAY[]::text[]) INTO k\n"
         "      FROM (SELECT to_jsonb(r) AS j) AS o, unnest(TG_ARGV) WITH ORDINALITY AS a(c, n);\n"
         "    INSERT INTO vy_event (type, verb, key) VALUES (TG_TABLE_NAME,\n"
         "      CASE TG_OP WHEN 'INSERT' THEN 'Create' WHEN 'UPDATE' THEN 'Update' ELSE 'Delete' "
         "END,\n"
         "      array_to_json(k)::text);\n"
         "  ELSE\n"
         "    PERFORM 1 FROM vy_event WHERE type = r.vy_root_type AND key = r.vy_root_key\n"
         "      LIMIT 1 FOR UPDATE SKIP LOCKED;\n"
         "    IF NOT FOUND THEN\n"
         "      INSERT INTO vy_event (type, verb, key) VALUES (r.vy_root_type, 'Update', "
         "r.vy_root_key);\n"
         "    END IF;\n"
         "  END IF;\n"
         "  RETURN NULL;\n"
         "END $body$;";
}

std::string PgDialect::createTriggerSql(const TableMapping& mapping) {
  std::string keys;
  for (const vy::Attr& k : mapping.keyAttrs()) {
    keys += (keys.empty() ? "" : ", ") + sqltext::literal(k.name());
  }
  return "CREATE TRIGGER vy_event AFTER INSERT OR UPDATE OR DELETE ON " + mapping.quotedTable() +
         " FOR EACH ROW EXECUTE FUNCTION vy_record_event(" + keys + ")";
}
