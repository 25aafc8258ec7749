-- Component template database of the demo: the parameter templates of one servo and the variable
-- name patterns of both naming systems. Built into ServoView/ServoView_Source.mdb at build time.
-- Placeholders: ###machine (machine name), ###Servo (servo number), ###text (bit number + 1),
-- ###Var_Name (the template's variable name inside its part's name pattern).
BEGIN;

CREATE TABLE Source_PRESET_DEFS (
  ID COUNTER,
  part SHORT,
  machine_type TEXT(50),
  type TEXT(20),
  offset_or_bitno SHORT,
  var_name TEXT(100),
  category_id LONG,
  isBitArray BIT,
  text TEXT(255),
  page_name TEXT(100),
  abs_min DOUBLE,
  abs_max DOUBLE,
  min DOUBLE,
  max DOUBLE,
  pass SHORT,
  unit TEXT(20)  -- the additional field the .cfg names in DataBaseAdditionalFields
);

-- Part 1: axis parameters.
INSERT INTO Source_PRESET_DEFS VALUES
 (1,  1, '###machine', 'REAL', 0, 'SpeedMax',       300, 0, 'Servo ###Servo: maximum speed',        'Drive',    0,     6000, 0,    3000, 2, 'rpm'),
 (2,  1, '###machine', 'REAL', 0, 'SpeedJog',       300, 0, 'Servo ###Servo: jog speed',            'Drive',    0,     500,  0,    100,  1, 'rpm'),
 (3,  1, '###machine', 'REAL', 0, 'RampUp',         300, 0, 'Servo ###Servo: acceleration ramp',    'Drive',    10,    5000, 50,   1000, 2, 'ms'),
 (4,  1, '###machine', 'REAL', 0, 'RampDown',       300, 0, 'Servo ###Servo: deceleration ramp',    'Drive',    10,    5000, 50,   1000, 2, 'ms'),
 (5,  1, '###machine', 'REAL', 0, 'TorqueLimit',    300, 0, 'Servo ###Servo: torque limit',         'Limits',   0,     350,  0,    150,  3, '%'),
 (6,  1, '###machine', 'REAL', 0, 'FollowingError', 300, 0, 'Servo ###Servo: following error',      'Limits',   0,     50,   0,    4,    3, 'mm'),
 (7,  1, '###machine', 'REAL', 0, 'PositionWindow', 300, 0, 'Servo ###Servo: in-position window',   'Limits',   0,     10,   0,    0.5,  3, 'mm'),
 (8,  1, '###machine', 'REAL', 0, 'HomeOffset',     360, 0, 'Servo ###Servo: home offset',          'Homing',   -1000, 1000, -100, 100,  3, 'mm'),
-- Part 2: status word, one record per bit; the bit's text carries its number.
 (9,  2, '###machine', 'BIT',  0, 'Status',         300, 1, 'Bit ###text: ready',                   'Status',   0,     1,    0,    1,    1, NULL),
 (10, 2, '###machine', 'BIT',  1, 'Status',         300, 1, 'Bit ###text: enabled',                 'Status',   0,     1,    0,    1,    1, NULL),
 (11, 2, '###machine', 'BIT',  2, 'Status',         300, 1, 'Bit ###text: in position',             'Status',   0,     1,    0,    1,    1, NULL),
 (12, 2, '###machine', 'BIT',  3, 'Status',         300, 1, 'Bit ###text: following error',         'Status',   0,     1,    0,    1,    1, NULL),
 (13, 2, '###machine', 'BIT',  4, 'Status',         300, 1, 'Bit ###text: fault',                   'Status',   0,     1,    0,    1,    1, NULL);

CREATE TABLE Source_DEFS (
  System TEXT(20),
  Part SHORT,
  Var_Name TEXT(100)
);

INSERT INTO Source_DEFS VALUES
 ('VISIWIN32',     1, '###machine.Servo###Servo.###Var_Name'),
 ('VISIWIN32',     2, '###machine.Servo###Servo.Word.###Var_Name'),
 ('VisiWinStudio', 1, '###machine_Servo###Servo_###Var_Name'),
 ('VisiWinStudio', 2, '###machine_Servo###Servo_Word_###Var_Name');

COMMIT;
