-- Tables of NorvRemindCore for PostgreSQL, applied by the host (the library
-- creates none), e.g. psql -v ON_ERROR_STOP=1 -d <database> -f schema/postgresql.sql
--
-- The library writes Oracle-style to_date( text, pattern ) and expects the
-- time of day to survive; PostgreSQL's own to_date drops it. The library's
-- sessions put the schema norv ahead of pg_catalog on their search path, so
-- this to_date wins. Pinning the time zone keeps wall-clock texts exact even
-- across a daylight-saving gap.
CREATE SCHEMA IF NOT EXISTS norv;

CREATE OR REPLACE FUNCTION norv.to_date(text, text)
  RETURNS timestamp(0) without time zone
  LANGUAGE sql IMMUTABLE STRICT
  SET timezone = 'UTC'
  AS $$ SELECT pg_catalog.to_timestamp($1, $2)::timestamp(0) without time zone $$;

-- Identifiers are stored in their 36-character text form; dates and times
-- as timestamps, which print as "YYYY-MM-DD HH:MM:SS". Date columns are
-- timestamps as well, because the deadline of a periodic remind carries a
-- time of day.
CREATE TABLE IF NOT EXISTS NORV_REMIND_DEF (
  CN_G_ID               varchar(38) PRIMARY KEY,
  CN_N_STATE            integer,
  CN_N_TYPE             integer,
  CN_N_SEND_FLAG        integer,
  CN_S_FROM             text,
  CN_T_REMIND           timestamp(0) without time zone,
  CN_D_INVALID          timestamp(0) without time zone,
  CN_S_CREATOR_ID       text,
  CN_S_CREATOR_NAME     text,
  CN_T_CREATE           timestamp(0) without time zone,
  CN_S_CONTENT          text,
  CN_S_CONTENT_TYPE     text,
  CN_S_REMIND_STYLE_DEF text
);
CREATE INDEX IF NOT EXISTS IX_NORV_REMIND_DEF_STATE ON NORV_REMIND_DEF (CN_N_STATE);

CREATE TABLE IF NOT EXISTS NORV_REMIND_RECEIVE (
  CN_G_REMIND_ID    varchar(38) NOT NULL,
  CN_N_RECEIVE_TYPE integer,
  CN_S_RECEIVE_ID   text,
  CN_S_RECEIVE_NAME text
);
CREATE INDEX IF NOT EXISTS IX_NORV_REMIND_RECEIVE_REMIND ON NORV_REMIND_RECEIVE (CN_G_REMIND_ID);

CREATE TABLE IF NOT EXISTS NORV_REMIND_REPEAT (
  CN_G_REMIND_ID     varchar(38) NOT NULL,
  CN_S_REMIND_TIME   text,
  CN_D_START         timestamp(0) without time zone,
  CN_D_END           timestamp(0) without time zone,
  CN_N_REGULAR_TYPE  integer,
  CN_N_INTERVAL      integer,
  CN_N_REGULAR_VALUE integer,
  CN_N_REPEAT_RANGE  integer,
  CN_N_REPEAT_NUM    integer,
  CN_N_REPEAT_COUNT  integer
);
CREATE UNIQUE INDEX IF NOT EXISTS UX_NORV_REMIND_REPEAT_REMIND ON NORV_REMIND_REPEAT (CN_G_REMIND_ID);

CREATE TABLE IF NOT EXISTS NORV_REMIND_MSG (
  CN_G_ID            varchar(38) PRIMARY KEY,
  CN_G_REMIND_ID     varchar(38),
  CN_S_CONTENT       text,
  CN_S_CONTENT_TYPE  text,
  CN_S_RECEIVER      text,
  CN_S_RECEIVER_NAME text,
  CN_T_REMIND        timestamp(0) without time zone,
  CN_N_STATUS        integer,
  CN_T_READ          timestamp(0) without time zone
);
CREATE INDEX IF NOT EXISTS IX_NORV_REMIND_MSG_REMIND ON NORV_REMIND_MSG (CN_G_REMIND_ID);

CREATE TABLE IF NOT EXISTS NORV_REMIND_MSG_AM (
  CN_G_ID            varchar(38) PRIMARY KEY,
  CN_G_REMIND_ID     varchar(38),
  CN_T_REMIND        timestamp(0) without time zone,
  CN_S_CONTENT_TYPE  text,
  CN_S_CONTENT       text,
  CN_S_RECEIVER      text,
  CN_S_RECEIVER_NAME text,
  CN_N_STATUS        integer,
  CN_T_SEND          timestamp(0) without time zone,
  CN_S_ERRINFO       text
);
CREATE INDEX IF NOT EXISTS IX_NORV_REMIND_MSG_AM_REMIND_TIME ON NORV_REMIND_MSG_AM (CN_T_REMIND);
CREATE INDEX IF NOT EXISTS IX_NORV_REMIND_MSG_AM_STATUS ON NORV_REMIND_MSG_AM (CN_N_STATUS);
CREATE INDEX IF NOT EXISTS IX_NORV_REMIND_MSG_AM_REMIND ON NORV_REMIND_MSG_AM (CN_G_REMIND_ID);

CREATE TABLE IF NOT EXISTS NORV_REMIND_STYLE (
  CN_G_ID            varchar(38) PRIMARY KEY,
  CN_S_NAME          text,
  CN_S_DEF           text,
  CN_N_ORDER         integer,
  CN_C_DEFAULT       varchar(1),
  CN_S_CREATOR_ID    text,
  CN_S_CREATOR_NAME  text,
  CN_T_CREATE        timestamp(0) without time zone,
  CN_S_MODIFIER_ID   text,
  CN_S_MODIFIER_NAME text,
  CN_T_MODIFY        timestamp(0) without time zone
);

-- The host's own record of each instant message's delivery, beside the
-- library's row in NORV_REMIND_MSG_AM: a message is marked as being sent
-- before it leaves, and each failed attempt is counted with its reason.
-- A message without a row here has not been tried yet.
CREATE TABLE IF NOT EXISTS NORV_HOST_DELIVERY (
  CN_G_MSG_ID   varchar(38) PRIMARY KEY,
  CN_N_STATE    integer NOT NULL,
  CN_N_ATTEMPTS integer NOT NULL,
  CN_T_NEXT     timestamp(0) without time zone,
  CN_S_REASON   text
);

-- The daemons sharing this database, each with its lease: a daemon whose
-- lease has expired is dead to the others, and its claims are taken over.
CREATE TABLE IF NOT EXISTS NORV_HOST_MEMBER (
  CN_G_ID      varchar(38) PRIMARY KEY,
  CN_S_HOST    text NOT NULL,
  CN_N_PID     integer NOT NULL,
  CN_T_START   timestamp(0) without time zone NOT NULL,
  CN_T_BEAT    timestamp(0) without time zone NOT NULL,
  CN_T_EXPIRES timestamp(0) without time zone NOT NULL,
  CN_N_SENT    integer NOT NULL
);

-- The one daemon that may send each instant message.
CREATE TABLE IF NOT EXISTS NORV_HOST_CLAIM (
  CN_G_MSG_ID varchar(38) PRIMARY KEY,
  CN_G_MEMBER varchar(38) NOT NULL
);

-- Each firing planned, once per receiver, however many daemons plan it.
CREATE TABLE IF NOT EXISTS NORV_HOST_FIRING (
  CN_G_REMIND_ID varchar(38) NOT NULL,
  CN_T_REMIND    timestamp(0) without time zone NOT NULL,
  CN_S_RECEIVER  text NOT NULL,
  PRIMARY KEY ( CN_G_REMIND_ID, CN_T_REMIND, CN_S_RECEIVER )
);
